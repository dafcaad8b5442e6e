// Code 14: the driver's description and its banner, all constant data.
#include <string_view>

#include "DriverHandlers.h"

namespace driver {
namespace {

constexpr std::size_t kInnerWidth = 59;
constexpr char kTopLeft = static_cast<char>(0xC9);
constexpr char kTopRight = static_cast<char>(0xBB);
constexpr char kBottomLeft = static_cast<char>(0xC8);
constexpr char kBottomRight = static_cast<char>(0xBC);
constexpr char kHorizontal = static_cast<char>(0xCD);
constexpr char kVertical = static_cast<char>(0xBA);
constexpr char kFullBlock = static_cast<char>(0xDB);
constexpr char kDarkShade = static_cast<char>(0xB2);
constexpr char kMediumShade = static_cast<char>(0xB1);
constexpr char kLightShade = static_cast<char>(0xB0);
constexpr std::string_view kLogoText = " D Y X K V ";
constexpr std::string_view kInstalledText = "KEYENCE KV Series , driver Installed.";
constexpr std::string_view kProtocolText = "KEYENCE Super Micro PLC -  ascii Protocol";
constexpr std::string_view kVersionText = "RS-232 Line Driver   Version 7.00";

struct Banner {
    char Bytes[kBannerLength + 1];
    std::size_t Length;

    constexpr void Put(char byte, std::size_t count = 1) {
        for (std::size_t i = 0; i < count; ++i) Bytes[Length++] = byte;
    }
    constexpr void Put(std::string_view text) {
        for (char byte : text) Bytes[Length++] = byte;
    }
    constexpr void PutBoxEdge(char left, char right) {
        Put(' ');
        Put(left);
        Put(kHorizontal, kInnerWidth);
        Put(right);
        Put('\n');
    }
    constexpr void PutBoxLine(std::string_view text, std::size_t leftSpaces) {
        Put(' ');
        Put(kVertical);
        Put(' ', leftSpaces);
        Put(text);
        Put(' ', kInnerWidth - leftSpaces - text.size());
        Put(kVertical);
        Put('\n');
    }
    constexpr void PutLogoLine() {
        Put(' ');
        Put(kVertical);
        Put(' ');
        Put(kFullBlock, 5);
        Put(kDarkShade, 6);
        Put(kMediumShade, 6);
        Put(kLightShade, 6);
        Put(kLogoText);
        Put(kLightShade, 6);
        Put(kMediumShade, 6);
        Put(kDarkShade, 6);
        Put(kFullBlock, 5);
        Put(' ');
        Put(kVertical);
        Put('\n');
    }
};

constexpr Banner BuildBanner() {
    Banner banner{};
    banner.Put('\n');
    banner.PutBoxEdge(kTopLeft, kTopRight);
    banner.PutLogoLine();
    banner.PutBoxLine(kInstalledText, 10);
    banner.PutBoxLine(kProtocolText, 9);
    banner.PutBoxLine(kVersionText, (kInnerWidth - kVersionText.size()) / 2);
    banner.PutBoxEdge(kBottomLeft, kBottomRight);
    banner.Bytes[banner.Length] = '\0';
    return banner;
}

constexpr Banner kBanner = BuildBanner();
static_assert(kBanner.Length == kBannerLength, "the banner is 379 characters");

constexpr std::uint32_t kFirstWord = 70;
constexpr std::uint32_t kFifthWord = 4;
constexpr std::uint32_t kLastWord = 0;
constexpr SerialParams kDefaultSerialParams = {9600, 8, 0, 2};

} // namespace

const char* BannerText() {
    return kBanner.Bytes;
}

std::uint32_t DescribeDriver(const DriverRequest* request) {
    auto& description = *static_cast<DriverDescription*>(request->Params);
    description.FirstWord = kFirstWord;
    description.DriverName = kDriverName;
    description.Banner = kBanner.Bytes;
    description.StateSize = kStateSize;
    description.FifthWord = kFifthWord;
    description.DefaultSerialParams = kDefaultSerialParams;
    description.LastWord = kLastWord;
    return DYX_DONE;
}

} // namespace driver
