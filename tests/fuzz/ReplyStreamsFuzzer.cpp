// Fuzz target: the controller's side of the line. The input scripts what the fake port returns to each
// line the driver sends (bytes split into reads, time-outs, failing reads) and which platform calls
// refuse, then runs the handshake, a read and a write of one address on one channel through DyxMain.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "DyxDriver.h"
#include "FakeCalls.h"
#include "FakeComm.h"
#include "FuzzInput.h"
#include "HostMemory.h"

namespace {

using fuzz::Require;

constexpr std::uint8_t kEndOfReply = 0xFF;
constexpr std::uint8_t kFailingRead = 0xFE;
constexpr std::uint8_t kTimedOutRead = 0xFD;
// One character more than AddressField holds, so the too-long case is reachable.
constexpr std::uint8_t kAddressLengths = 10;

// Fault byte of a call: which platform calls refuse for the whole of that call.
constexpr std::uint8_t kWriteRefused = 0x01;
constexpr std::uint8_t kWriteShort = 0x02;
constexpr std::uint8_t kStatusRefused = 0x04; // the purge then drains without knowing what waits
constexpr std::uint8_t kTimeoutsUnreadable = 0x08;
constexpr std::uint8_t kTimeoutsRefused = 0x10;

// What the driver may spend on one call: six handshake lines, then six command lines.
constexpr int kAttempts = 6;
constexpr char kHandshakeLine[] = "CR\r";
constexpr char kCarriageReturn = '\r';
constexpr std::size_t kLongestLine = sizeof(ChannelState::CommandBuffer);
constexpr std::size_t kArenaBytes = 1536;

// Reads the events up to the end of the input into the fake: the first reply is waiting already,
// each later one answers the next write.
void ScriptReplies(fuzz::FuzzInput& input, fake::Port& port) {
    fake::Reply reply;
    bool waitingAlready = true;
    const auto finishReply = [&] {
        if (waitingAlready) {
            port.Input.insert(port.Input.end(), reply.begin(), reply.end());
            waitingAlready = false;
        } else {
            port.Replies.push_back(reply);
        }
        reply.clear();
    };
    while (!input.Empty()) {
        const std::uint8_t tag = input.Byte();
        if (tag == kEndOfReply) {
            finishReply();
        } else if (tag == kFailingRead) {
            reply.push_back(fake::ReadEvent::Failure());
        } else if (tag == kTimedOutRead) {
            reply.push_back(fake::ReadEvent::Timeout());
        } else {
            std::string bytes = input.Bytes(tag + 1u);
            if (!bytes.empty()) reply.push_back(fake::ReadEvent::Bytes(std::move(bytes)));
        }
    }
    finishReply();
}

void ApplyFaults(fake::Port& port, std::uint8_t faults) {
    if (faults & kWriteRefused) port.FailingCalls.insert("WriteFile");
    if (faults & kWriteShort) port.ShortWriteBy = 1;
    if (faults & kStatusRefused) port.FailingCalls.insert("ClearCommError");
    if (faults & kTimeoutsUnreadable) port.FailingCalls.insert("GetCommTimeouts");
    if (faults & kTimeoutsRefused) port.FailingCalls.insert("SetCommTimeouts");
}

void ClearFaults(fake::Port& port) {
    port.FailingCalls.clear();
    port.ShortWriteBy = 0;
}

struct Channel {
    explicit Channel(fuzz::HostArena& arena) : Arena(arena) {}

    fuzz::HostArena& Arena;
    ChannelState* State = nullptr;
    ItemValue* Item = nullptr;
    ItemParams* Params = nullptr;
    DriverRequest* Request = nullptr;
};

// The lines of one call: first the handshake's, then the command's, the same bytes in every attempt.
// Returns the number of write calls, refused ones included.
int CheckLines(const fake::Port& port, std::uint32_t code, bool handshakeAllowed) {
    const int writeCalls = fuzz::CountCalls(port, "WriteFile");
    const int handshakeBound = handshakeAllowed ? kAttempts : 0;
    const int commandBound = code == DYX_OPEN_LINK ? 0 : kAttempts;
    Require(writeCalls <= handshakeBound + commandBound, "more lines sent than the attempts allow", code);

    std::size_t line = 0;
    while (line < port.Writes.size() && port.Writes[line] == kHandshakeLine) {
        ++line;
    }
    Require(line <= static_cast<std::size_t>(handshakeBound), "too many handshake lines", code);
    Require(port.Writes.size() - line <= static_cast<std::size_t>(commandBound), "too many command lines", code);
    for (std::size_t i = line; i < port.Writes.size(); ++i) {
        Require(port.Writes[i] == port.Writes[line], "a repeated command changed between attempts", code);
    }
    for (const std::string& written : port.Writes) {
        Require(!written.empty() && written.size() <= kLongestLine && written.back() == kCarriageReturn,
                "a line sent without its CR or longer than CommandBuffer", code);
    }
    return writeCalls;
}

void RunCall(Channel& channel, const fuzz::HostText& address, std::uint32_t code, std::uint8_t faults) {
    fake::Port& port = fake::TheFake();
    ChannelState& state = *channel.State;
    channel.Request->FunctionCode = code;
    const ChannelState before = state;
    const std::uint16_t valueBefore = channel.Item->Value;
    const DWORD readTimeoutBefore = port.Timeouts.ReadTotalTimeoutConstant;
    channel.Arena.Snapshot();
    port.ClearLog();
    ApplyFaults(port, faults);

    const std::uint32_t result = DyxMain(channel.Request);

    ClearFaults(port);
    Require(result <= DYX_COMMUNICATION_FAILED, "result outside 0, 1 and 2", code);
    std::vector<fuzz::ByteRange> writable = {{channel.State, fuzz::StateSize()}};
    if (code == DYX_READ_ITEM) writable.push_back({&channel.Item->Value, sizeof channel.Item->Value});
    Require(channel.Arena.UnchangedExcept(writable), "a byte outside ChannelState and Value changed", code);
    Require(address.Unchanged(), "the address text changed", code);
    if (result == DYX_COMMUNICATION_FAILED) {
        Require(channel.Item->Value == valueBefore, "a failed exchange wrote Value", code);
    }

    Require(state.ReadTimeout == before.ReadTimeout && state.PortEnabled == before.PortEnabled &&
                state.PortHandle == before.PortHandle &&
                std::memcmp(&state.PortSettings, &before.PortSettings, sizeof state.PortSettings) == 0,
            "an exchange changed the channel's port fields", code);
    Require(port.OpenDevices.count(state.PortHandle) == 1, "the channel's port is no longer open", code);
    Require(port.Timeouts.ReadTotalTimeoutConstant == readTimeoutBefore,
            "the read time-out in force changed across the call", code);

    Require(state.LinkUp <= 1, "LinkUp outside 0 and 1", code);
    Require(before.LinkUp == 0 || state.LinkUp == 1, "an exchange cleared LinkUp", code);
    if (code == DYX_OPEN_LINK) {
        Require(result != DYX_REFUSED, "the handshake answered 1", code);
        Require(result == DYX_DONE ? state.LinkUp == 1 : state.LinkUp == before.LinkUp,
                "LinkUp does not match the handshake's result", code);
    } else if (result == DYX_DONE) {
        Require(state.LinkUp == 1, "a transaction succeeded without the link up", code);
    }
    Require(state.CommandLength < kLongestLine, "CommandLength leaves no room for the CR", code);

    const bool handshakeAllowed = code == DYX_OPEN_LINK || before.LinkUp == 0;
    const int writeCalls = CheckLines(port, code, handshakeAllowed);
    if (code != DYX_OPEN_LINK && before.LinkUp == 1 && result == DYX_COMMUNICATION_FAILED) {
        Require(writeCalls == kAttempts, "a transaction gave up before its sixth attempt", code);
    }
}

} // namespace

// Input: flags (bit 0: LinkUp starts at 1), the open's ReadTimeout (4 bytes), DataType (2 bytes),
// Value (2 bytes), the address length (mod 10) and its bytes, one fault byte for each of the three
// calls, then read events up to the end. Event tags: 0xFF ends a reply, 0xFE is a failing read call,
// 0xFD a read that times out, any smaller tag t is t + 1 bytes arriving together. The events before
// the first 0xFF are already waiting when the handshake starts; each later reply answers one write.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    fake::Port& port = fake::TheFake();
    port.Reset();

    const std::uint8_t flags = input.Byte();
    const std::uint32_t readTimeoutTenMs = input.Word32();
    const std::uint32_t dataType = input.Word16();
    const std::uint16_t value = input.Word16();
    const fuzz::HostText address(input.Bytes(input.Byte() % kAddressLengths));
    const std::uint8_t faults[] = {input.Byte(), input.Byte(), input.Byte()};

    // One arena for the whole run: the driver's records are laid out afresh in it for every input.
    static fuzz::HostArena arena(kArenaBytes);
    arena.Clear();
    Channel channel(arena);
    channel.State = static_cast<ChannelState*>(channel.Arena.Place(fuzz::StateSize()));
    std::memset(channel.State, 0, fuzz::StateSize());
    channel.Item = channel.Arena.Place<ItemValue>();
    channel.Item->Value = value;
    channel.Params = channel.Arena.Place<ItemParams>();
    channel.Params->AddressText = address.Get();
    channel.Params->DataType = dataType;
    channel.Params->Item = channel.Item;
    auto* open = channel.Arena.Place<OpenParams>();
    std::memset(open->PortName, 0, sizeof open->PortName);
    std::memcpy(open->PortName, "COM1", 4);
    open->PortEnabled = 1;
    open->ReadTimeout = readTimeoutTenMs;
    open->SerialParams = {9600, 8, 0, 2};
    channel.Request = channel.Arena.Place<DriverRequest>();
    channel.Request->State = channel.State;
    channel.Request->FunctionCode = DYX_OPEN_CHANNEL;
    channel.Request->Params = open;
    Require(DyxMain(channel.Request) == DYX_DONE, "COM1 did not open over the fake", DYX_OPEN_CHANNEL);
    channel.Request->Params = channel.Params;
    channel.State->LinkUp = flags & 1;

    ScriptReplies(input, port);
    RunCall(channel, address, DYX_OPEN_LINK, faults[0]);
    RunCall(channel, address, DYX_READ_ITEM, faults[1]);
    RunCall(channel, address, DYX_WRITE_ITEM, faults[2]);
    // The fake gives back what it kept, so every input frees what it allocated and the leak check
    // looks only at real leaks.
    port.Reset();
    return 0;
}
