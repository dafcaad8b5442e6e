// Device addresses: normalisation, the bit and word device tables, the digit check, code 3.
#include "DeviceAddress.h"

#include "Protocol.h"

namespace protocol {
namespace {

struct DeviceCode {
    char Text[3];
};

constexpr DeviceCode kBitDeviceTable[] = {
    {{'M', '$', '$'}}, {{'E', 'R', '$'}}, {{'R', 'C', '$'}}, {{'R', 'H', '$'}},
    {{'R', 'C', 'C'}}, {{'R', 'T', '$'}}, {{'R', 'D', '$'}},
};

constexpr DeviceCode kWordDeviceTable[] = {
    {{'E', 'R', '$'}}, {{'R', 'K', '$'}}, {{'R', 'C', 'R'}}, {{'R', 'C', 'P'}}, {{'R', 'H', 'R'}},
    {{'R', 'H', 'P'}}, {{'R', 'C', '1'}}, {{'R', 'C', '2'}}, {{'R', 'T', 'R'}}, {{'R', 'T', 'P'}},
    {{'D', 'M', '$'}}, {{'T', 'M', '$'}}, {{'A', 'T', '0'}}, {{'A', 'T', '1'}},
};

constexpr std::uint8_t kWordType = 0;
constexpr std::uint8_t kWordTypeToo = 1;
constexpr std::uint8_t kBitType = 6;
constexpr std::uint16_t kFirstDigit = 3;
constexpr std::uint16_t kWordDigits = 4;
constexpr std::uint16_t kBitDigits = 5;
constexpr std::uint32_t kAddressResultWords[] = {0, 0, 0, 255, 16};

std::uint8_t DataTypeByte(std::uint32_t dataType) {
    return static_cast<std::uint8_t>(dataType & 0xFF);
}

bool IsWordType(std::uint8_t type) {
    return type == kWordType || type == kWordTypeToo;
}

template <std::size_t N> std::uint16_t FindDevice(const DeviceCode (&table)[N], const char* field) {
    for (std::uint16_t i = 0; i < N; ++i) {
        const DeviceCode& code = table[i];
        if (field[0] == code.Text[0] && field[1] == code.Text[1] && field[2] == code.Text[2]) return i;
    }
    return kNoDevice;
}

} // namespace

char UpperCaseChar(char character) {
    const auto value = static_cast<signed char>(character);
    return value >= 0x61 ? static_cast<char>(value - 0x20) : character;
}

bool NormalizeAddress(ChannelState& state, const char* addressText) {
    std::uint16_t length = 0;
    while (length < kAddressFieldLength && addressText[length] != '\0') {
        state.AddressField[length] = UpperCaseChar(addressText[length]);
        ++length;
    }
    for (std::uint16_t i = length; i < kAddressFieldLength; ++i) state.AddressField[i] = ' ';
    return length < kAddressFieldLength || addressText[kAddressFieldLength] == '\0';
}

std::uint16_t LookupDevice(const ChannelState& state, std::uint32_t dataType) {
    const std::uint8_t type = DataTypeByte(dataType);
    if (type == kBitType) return FindDevice(kBitDeviceTable, state.AddressField);
    if (!IsWordType(type)) return kNoDevice;
    const std::uint16_t position = FindDevice(kWordDeviceTable, state.AddressField);
    return position == kNoDevice ? kNoDevice : static_cast<std::uint16_t>(position + kFirstWordIndex);
}

std::uint8_t CheckDigits(const ChannelState& state, std::uint32_t dataType) {
    const std::uint8_t type = DataTypeByte(dataType);
    std::uint16_t digits;
    if (type == kBitType) {
        digits = kBitDigits;
    } else if (IsWordType(type)) {
        digits = kWordDigits;
    } else {
        return 1;
    }
    for (std::uint16_t i = kFirstDigit; i < kFirstDigit + digits; ++i) {
        const char character = state.AddressField[i];
        if (character < '0' || character > '9') return 1;
    }
    return 0;
}

std::uint16_t ResolveAddress(ChannelState& state, const char* addressText, std::uint32_t dataType) {
    if (!NormalizeAddress(state, addressText)) return kNoDevice;
    return LookupDevice(state, dataType);
}

std::uint32_t ValidateAddress(const DriverRequest* request) {
    ChannelState& state = *request->State;
    auto& params = *static_cast<AddressParams*>(request->Params);
    if (params.AddressText == nullptr) return DYX_REFUSED;
    if (ResolveAddress(state, params.AddressText, params.DataType) == kNoDevice) return DYX_REFUSED;
    if (CheckDigits(state, params.DataType) != 0) return DYX_REFUSED;
    for (std::size_t i = 0; i < sizeof kAddressResultWords / sizeof kAddressResultWords[0]; ++i) {
        params.ResultWords[i] = kAddressResultWords[i];
    }
    return DYX_DONE;
}

} // namespace protocol
