// Line exchange with the controller and the link handshake, over the serial layer.
#include "LineExchange.h"

#include "Protocol.h"
#include "SerialPort.h"

namespace protocol {
namespace {

constexpr char kLinkRequest[] = "CR";
constexpr char kLinkAnswer[] = "CC";
constexpr std::uint16_t kLinkTextLength = 2;

} // namespace

void CopyChars(const char* source, char* destination, std::uint16_t count) {
    for (std::uint16_t i = 0; i < count; ++i) destination[i] = source[i];
}

std::uint8_t CompareChars(const char* first, const char* second, std::uint16_t count) {
    for (std::uint16_t i = 0; i < count; ++i) {
        if (first[i] != second[i]) return 1;
    }
    return 0;
}

bool SendBytes(ChannelState& state, const char* bytes, std::uint16_t count) {
    // A late answer to an earlier command must never be taken for the answer to this one.
    serial::PurgeInput(state.PortHandle);
    std::uint32_t written = 0;
    return serial::WritePort(state.PortHandle, bytes, count, &written) == serial::kSerialOk && written == count;
}

bool ReceiveBytes(ChannelState& state, char* buffer, std::uint16_t count) {
    std::uint16_t received = 0;
    return serial::ReadPort(state.PortHandle, buffer, count, &received) == serial::kSerialOk && received == count;
}

std::uint8_t ReceiveLine(ChannelState& state, std::uint16_t* count) {
    *count = 0;
    // One byte per read call, so the read stops exactly at the LF and leaves anything behind it.
    for (std::uint16_t position = 0; position < kReplyCapacity; ++position) {
        char* slot = &state.ReplyBuffer[position];
        if (!ReceiveBytes(state, slot, 1)) return kNoLine;
        *count = static_cast<std::uint16_t>(position + 1);
        if (*slot == kLineFeed) {
            *slot = '\0';
            *count = static_cast<std::uint16_t>(*count - 2);
            return kLineReceived;
        }
    }
    return kNoLine;
}

std::uint8_t SendCommand(ChannelState& state) {
    state.CommandBuffer[state.CommandLength] = kCarriageReturn;
    const auto lineLength = static_cast<std::uint16_t>(state.CommandLength + 1);
    return SendBytes(state, state.CommandBuffer, lineLength) ? kSent : kNotSent;
}

std::uint8_t ReceiveReply(ChannelState& state) {
    std::uint16_t count = 0;
    const std::uint8_t result = ReceiveLine(state, &count);
    state.ReplyLength = count;
    return result;
}

std::uint8_t ExchangeCommand(ChannelState& state) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (SendCommand(state) == kSent && ReceiveReply(state) == kLineReceived) return kLineReceived;
    }
    return kNoLine;
}

std::uint8_t EstablishLink(ChannelState& state) {
    CopyChars(kLinkRequest, state.CommandBuffer, kLinkTextLength);
    state.CommandLength = kLinkTextLength;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (SendCommand(state) != kSent || ReceiveReply(state) != kLineReceived) continue;
        if (state.ReplyLength != kLinkTextLength) return kLinkFailed;
        if (CompareChars(kLinkAnswer, state.ReplyBuffer, kLinkTextLength) == 0) {
            state.LinkUp = 1;
            return kLinkUp;
        }
    }
    return kLinkFailed;
}

std::uint32_t OpenLink(const DriverRequest* request) {
    ChannelState& state = *request->State;
    if (state.PortHandle != nullptr) serial::PurgeInput(state.PortHandle);
    return EstablishLink(state);
}

} // namespace protocol
