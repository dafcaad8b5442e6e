// Write transaction (code 7): the write command table, command building, the "OK" check.
#include <string_view>

#include "DeviceAddress.h"
#include "LineExchange.h"
#include "Protocol.h"
#include "Transactions.h"

namespace protocol {
namespace {

// A bit row sends SetText for the value 1 and ResetText for every other value; a row without a
// SetText cannot be set. A word row has only SetText and sends the value text behind the address.
struct WriteRow {
    std::uint16_t CommandIndex;
    std::string_view SetText;
    std::string_view ResetText;
    std::uint8_t FirstAddressPosition;
    std::uint8_t AddressCount;
    bool TakesValue;
};

constexpr WriteRow kWriteCommandTable[] = {
    {0, "M1", "M0", 0, 0, false},     {2, "ST C", "RS C", 5, 3, false}, {4, "", "RS CTC", 7, 1, false},
    {5, "ST T", "RS T", 5, 3, false}, {6, "ST ", "RS ", 3, 5, false},   {12, "WR C", "", 4, 3, true},
    {13, "WS C", "", 4, 3, true},     {14, "WR CTH", "", 6, 1, true},   {17, "WS CTC", "", 6, 1, true},
    {18, "WR T", "", 4, 3, true},     {19, "WS T", "", 4, 3, true},     {20, "WR DM", "", 3, 4, true},
    {21, "WR TM", "", 5, 2, true},
};

constexpr std::uint16_t kSetValue = 1;
constexpr std::uint16_t kValueTextLength = 6;
constexpr char kOkReply[] = "OK";
constexpr std::uint16_t kOkLength = 2;

const WriteRow* FindWriteRow(std::uint16_t commandIndex) {
    for (const WriteRow& row : kWriteCommandTable) {
        if (row.CommandIndex == commandIndex) return &row;
    }
    return nullptr;
}

// The value as " %05u" would give it, without the C library, so no locale can change it.
void FormatValueText(std::uint16_t value, char* text) {
    text[0] = ' ';
    for (int i = kValueTextLength - 1; i >= 1; --i) {
        text[i] = static_cast<char>('0' + value % 10);
        value = static_cast<std::uint16_t>(value / 10);
    }
}

} // namespace

std::uint8_t BuildWriteCommand(ChannelState& state, std::uint16_t commandIndex, std::uint16_t value) {
    const WriteRow* row = FindWriteRow(commandIndex);
    if (row == nullptr) return kNoCommand;
    const std::string_view text = row->TakesValue || value == kSetValue ? row->SetText : row->ResetText;
    if (text.empty()) return kNoCommand;

    const auto textLength = static_cast<std::uint16_t>(text.size());
    CopyChars(text.data(), state.CommandBuffer, textLength);
    CopyChars(&state.AddressField[row->FirstAddressPosition], &state.CommandBuffer[textLength], row->AddressCount);
    auto length = static_cast<std::uint16_t>(textLength + row->AddressCount);
    if (row->TakesValue) {
        FormatValueText(value, &state.CommandBuffer[length]);
        length = static_cast<std::uint16_t>(length + kValueTextLength);
    }
    state.CommandLength = length;
    return kBuilt;
}

std::uint8_t CheckWriteReply(const ChannelState& state, std::uint16_t commandIndex) {
    if (FindWriteRow(commandIndex) == nullptr) return kReplyRejected;
    return CompareChars(kOkReply, state.ReplyBuffer, kOkLength) == 0 ? kReplyAccepted : kReplyRejected;
}

std::uint32_t WriteItem(const DriverRequest* request) {
    ChannelState& state = *request->State;
    const auto& params = *static_cast<const ItemParams*>(request->Params);
    std::uint16_t commandIndex = kNoDevice;
    const std::uint32_t started = StartItemTransaction(state, params, &commandIndex);
    if (started != DYX_DONE) return started;
    if (BuildWriteCommand(state, commandIndex, params.Item->Value) != kBuilt) return DYX_REFUSED;
    if (ExchangeCommand(state) != kLineReceived) return DYX_COMMUNICATION_FAILED;
    return CheckWriteReply(state, commandIndex);
}

} // namespace protocol
