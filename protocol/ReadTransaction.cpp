// Read transaction (code 5): the read command table, command building, reply decoding.
#include <string_view>

#include "DeviceAddress.h"
#include "LineExchange.h"
#include "Protocol.h"
#include "Transactions.h"

namespace protocol {
namespace {

enum class ReplyShape : std::uint8_t {
    Mode,      // exactly "0" or "1"
    Ok,        // begins with "OK", any length; stores 0 either way
    Converted, // exact length, a decimal field at a fixed place
};

struct ReadRow {
    std::uint16_t CommandIndex;
    std::string_view CommandText;
    std::uint8_t FirstAddressPosition;
    std::uint8_t AddressCount;
    ReplyShape Shape;
    std::uint16_t ReplyLength;
    std::uint8_t FirstConverted;
    std::uint8_t ConvertedCount;
};

constexpr ReadRow kReadCommandTable[] = {
    {0, "?M", 0, 0, ReplyShape::Mode, 1, 0, 0},
    {1, "ER", 0, 0, ReplyShape::Ok, 0, 0, 0},
    {2, "RD C", 5, 3, ReplyShape::Converted, 13, 0, 1},
    {3, "RD CTH", 7, 1, ReplyShape::Converted, 13, 0, 1},
    {4, "RD CTC", 7, 1, ReplyShape::Converted, 13, 0, 1},
    {5, "RD T", 5, 3, ReplyShape::Converted, 13, 0, 1},
    {6, "RD ", 3, 5, ReplyShape::Converted, 1, 0, 1},
    {10, "?E", 0, 0, ReplyShape::Converted, 2, 1, 1},
    {11, "?K", 0, 0, ReplyShape::Converted, 4, 2, 2},
    {12, "RD C", 4, 3, ReplyShape::Converted, 13, 2, 5},
    {13, "RD C", 4, 3, ReplyShape::Converted, 13, 8, 5},
    {14, "RD CTH", 6, 1, ReplyShape::Converted, 13, 2, 5},
    {15, "RD CTH", 6, 1, ReplyShape::Converted, 13, 8, 5},
    {16, "RD CTC", 6, 1, ReplyShape::Converted, 13, 2, 5},
    {17, "RD CTC", 6, 1, ReplyShape::Converted, 13, 8, 5},
    {18, "RD T", 4, 3, ReplyShape::Converted, 13, 2, 5},
    {19, "RD T", 4, 3, ReplyShape::Converted, 13, 8, 5},
    {20, "RD DM", 3, 4, ReplyShape::Converted, 5, 0, 5},
    {21, "RD TM", 5, 2, ReplyShape::Converted, 5, 0, 5},
    {22, "RD AT", 0, 0, ReplyShape::Converted, 23, 0, 5},
    {23, "RD AT", 0, 0, ReplyShape::Converted, 23, 6, 5},
};

constexpr char kOkReply[] = "OK";
constexpr std::uint16_t kOkLength = 2;
constexpr std::uint32_t kLargestValue = 0xFFFF;

const ReadRow* FindReadRow(std::uint16_t commandIndex) {
    for (const ReadRow& row : kReadCommandTable) {
        if (row.CommandIndex == commandIndex) return &row;
    }
    return nullptr;
}

// A field the controller sends as a number must be one: digits only and no more than 16 bits, so a
// garbled reply is refused instead of passing as a wrapped value.
bool IsDecimalField(const char* characters, std::uint16_t count) {
    std::uint32_t value = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (characters[i] < '0' || characters[i] > '9') return false;
        value = value * 10 + static_cast<std::uint32_t>(characters[i] - '0');
    }
    return value <= kLargestValue;
}

} // namespace

std::uint16_t ParseDecimal(const char* characters, std::uint16_t count) {
    std::uint16_t value = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(characters[i]);
        value = static_cast<std::uint16_t>(value * 10 + byte - '0');
    }
    return value;
}

std::uint8_t BuildReadCommand(ChannelState& state, std::uint16_t commandIndex) {
    const ReadRow* row = FindReadRow(commandIndex);
    if (row == nullptr) return kNoCommand;
    const auto textLength = static_cast<std::uint16_t>(row->CommandText.size());
    CopyChars(row->CommandText.data(), state.CommandBuffer, textLength);
    CopyChars(&state.AddressField[row->FirstAddressPosition], &state.CommandBuffer[textLength], row->AddressCount);
    state.CommandLength = static_cast<std::uint16_t>(textLength + row->AddressCount);
    return kBuilt;
}

std::uint8_t DecodeReadReply(const ChannelState& state, std::uint16_t commandIndex, ItemValue& item) {
    const ReadRow* row = FindReadRow(commandIndex);
    if (row == nullptr) return kReplyRejected;
    const char* reply = state.ReplyBuffer;
    switch (row->Shape) {
    case ReplyShape::Mode:
        if (state.ReplyLength != row->ReplyLength || (reply[0] != '0' && reply[0] != '1')) return kReplyRejected;
        item.Value = reply[0] == '1' ? 1 : 0;
        return kReplyAccepted;
    case ReplyShape::Ok:
        item.Value = 0;
        return CompareChars(kOkReply, reply, kOkLength) == 0 ? kReplyAccepted : kReplyRejected;
    case ReplyShape::Converted: break;
    }
    const char* field = &reply[row->FirstConverted];
    if (state.ReplyLength != row->ReplyLength || !IsDecimalField(field, row->ConvertedCount)) {
        return kReplyRejected;
    }
    item.Value = ParseDecimal(field, row->ConvertedCount);
    return kReplyAccepted;
}

std::uint32_t ReadItem(const DriverRequest* request) {
    ChannelState& state = *request->State;
    const auto& params = *static_cast<const ItemParams*>(request->Params);
    std::uint16_t commandIndex = kNoDevice;
    const std::uint32_t started = StartItemTransaction(state, params, &commandIndex);
    if (started != DYX_DONE) return started;
    if (BuildReadCommand(state, commandIndex) != kBuilt) return DYX_REFUSED;
    if (ExchangeCommand(state) != kLineReceived) return DYX_COMMUNICATION_FAILED;
    return DecodeReadReply(state, commandIndex, *params.Item);
}

} // namespace protocol
