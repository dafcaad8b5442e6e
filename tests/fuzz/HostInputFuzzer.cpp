// Fuzz target: whatever a host may hand the entry point: runs of calls on two channels with any code,
// null records, address texts of any length, port names with or without a NUL, any line settings and
// refusing platform calls, over the fake's devices COM1, COM2 and NUL.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DyxDriver.h"
#include "FakeCalls.h"
#include "FakeComm.h"
#include "FuzzInput.h"
#include "HostMemory.h"

namespace {

using fuzz::Require;

constexpr int kMaxCalls = 32;
constexpr int kChannels = 2;

// Code selectors past the table's codes 0 to 20.
constexpr std::uint8_t kCodeSelectors = 24;
constexpr std::uint8_t kAllOnesCode = 21;
constexpr std::uint8_t kSmallUnknownCode = 22;
constexpr std::uint32_t kFirstUnknownCode = 16;

constexpr std::uint8_t kNullState = 0x01;
constexpr std::uint8_t kNullParams = 0x02;
constexpr std::uint8_t kSecondChannel = 0x04;
constexpr std::uint8_t kNullAddressText = 0x08;
constexpr std::uint8_t kNullItem = 0x10;

const char* const kFaultableCalls[] = {"CreateFileA",     "CloseHandle",     "GetCommState",   "SetCommState",
                                       "GetCommTimeouts", "SetCommTimeouts", "ClearCommError", "WriteFile"};
// The fault bit of "CloseHandle" above.
constexpr std::uint8_t kCloseRefused = 1u << 1;

const char* const kCannedReplies[] = {"", "CC\r\n", "OK\r\n", "00042\r\n", "1\r\n", "\n"};
constexpr std::uint8_t kReplyCount = sizeof kCannedReplies / sizeof kCannedReplies[0];

const char* const kCannedPortNames[] = {"COM1", "COM2", "NUL", "com1", "COM1:", ""};
constexpr std::uint8_t kCannedNameCount = sizeof kCannedPortNames / sizeof kCannedPortNames[0];
constexpr std::uint8_t kPortNameSelectors = kCannedNameCount + 2;
constexpr std::size_t kPortNameBytes = sizeof(OpenParams::PortName);

// Address lengths up to 254 come from one byte; 255 reads a longer length.
constexpr std::uint8_t kLongAddress = 0xFF;
constexpr std::uint16_t kLongestAddress = 4096;

constexpr int kAttempts = 6;
constexpr std::size_t kParamsBytes = 64;
constexpr std::size_t kArenaBytes = 2048;

constexpr std::uint32_t kAddressResultWords[] = {0, 0, 0, 255, 16};
constexpr std::size_t kBannerLength = 379;
const SerialParams kDefaultSerialParams = {9600, 8, 0, 2};

static_assert(sizeof(OpenParams) <= kParamsBytes && sizeof(ReconfigureParams) <= kParamsBytes &&
                  sizeof(AddressParams) <= kParamsBytes && sizeof(ItemParams) <= kParamsBytes &&
                  sizeof(DriverDescription) <= kParamsBytes,
              "every parameter block fits the params area");

bool HasOperation(std::uint32_t code) {
    switch (code) {
    case DYX_OPEN_CHANNEL:
    case DYX_OPEN_LINK:
    case DYX_VALIDATE_ADDRESS:
    case DYX_READ_ITEM:
    case DYX_WRITE_ITEM:
    case DYX_CLOSE_CHANNEL:
    case DYX_CLOSE_CHANNEL_TOO:
    case DYX_REOPEN_CHANNEL:
    case DYX_DESCRIBE_DRIVER:
    case DYX_RECONFIGURE_CHANNEL: return true;
    default: return false;
    }
}

// The code a selector stands for; the last two read more of the input.
std::uint32_t CodeFor(std::uint8_t codeSelector, fuzz::FuzzInput& input) {
    const std::uint8_t selector = codeSelector % kCodeSelectors;
    if (selector < kAllOnesCode) return selector;
    if (selector == kAllOnesCode) return 0xFFFFFFFFu;
    if (selector == kSmallUnknownCode) return kFirstUnknownCode + input.Byte();
    return input.Word32();
}

void ReadPortName(fuzz::FuzzInput& input, char (&name)[kPortNameBytes]) {
    std::memset(name, 0, sizeof name);
    const std::uint8_t selector = input.Byte() % kPortNameSelectors;
    if (selector < kCannedNameCount) {
        std::memcpy(name, kCannedPortNames[selector], std::strlen(kCannedPortNames[selector]));
        return;
    }
    // Twelve bytes straight from the input: a NUL among them or none at all.
    const std::string bytes = input.Bytes(kPortNameBytes);
    std::memcpy(name, bytes.data(), bytes.size());
}

SerialParams ReadSerialParams(fuzz::FuzzInput& input) {
    SerialParams params;
    params.Baud = input.Word16();
    params.DataBits = input.Word16();
    params.StopBitsCode = input.Word16();
    params.ParityCode = input.Word16();
    return params;
}

std::unique_ptr<fuzz::HostText> ReadAddress(fuzz::FuzzInput& input) {
    std::size_t length = input.Byte();
    if (length == kLongAddress) length = input.Word16() % kLongestAddress;
    return std::make_unique<fuzz::HostText>(input.Bytes(length));
}

struct Host {
    explicit Host(fuzz::HostArena& arena) : Arena(arena) {}

    fuzz::HostArena& Arena;
    ChannelState* States[kChannels] = {};
    ItemValue* Item = nullptr;
    void* ParamsArea = nullptr;
    DriverRequest* Request = nullptr;
    // Once the platform has refused a close, a handle may stay open that no channel holds any more.
    bool CloseWasRefused = false;
};

struct Call {
    std::uint32_t Code = 0;
    std::uint8_t Flags = 0;
    ChannelState* State = nullptr;
    std::unique_ptr<fuzz::HostText> Address;
    OpenParams* Open = nullptr;
    ReconfigureParams* Reconfigure = nullptr;
    AddressParams* Validate = nullptr;
    ItemParams* ItemBlock = nullptr;
    DriverDescription* Description = nullptr;
};

// Reads one call from the input and lays its records out in the host's memory.
Call PrepareCall(fuzz::FuzzInput& input, Host& host) {
    Call call;
    const std::uint8_t codeSelector = input.Byte();
    call.Flags = input.Byte();
    const std::uint8_t faults = input.Byte();
    const std::uint8_t replySelector = input.Byte() % kReplyCount;
    call.Code = CodeFor(codeSelector, input);

    fake::Port& port = fake::TheFake();
    port.FailingCalls.clear();
    for (std::size_t i = 0; i < sizeof kFaultableCalls / sizeof kFaultableCalls[0]; ++i) {
        if (faults & (1u << i)) port.FailingCalls.insert(kFaultableCalls[i]);
    }
    if (faults & kCloseRefused) host.CloseWasRefused = true;
    port.RepeatLastReply = true;
    port.LastReply = fake::Line(kCannedReplies[replySelector]);
    if (port.LastReply.front().Data.empty()) port.LastReply.clear();

    const int channel = call.Flags & kSecondChannel ? 1 : 0;
    call.State = host.States[channel];
    // Bytes of the area that this call's block does not cover keep the pattern as well.
    std::memset(host.ParamsArea, fuzz::HostArena::kPattern, kParamsBytes);
    switch (call.Code) {
    case DYX_OPEN_CHANNEL:
        call.Open = fuzz::StartRecord<OpenParams>(host.ParamsArea);
        ReadPortName(input, call.Open->PortName);
        call.Open->PortEnabled = input.Word32();
        call.Open->ReadTimeout = input.Word32();
        call.Open->SerialParams = ReadSerialParams(input);
        break;
    case DYX_RECONFIGURE_CHANNEL:
        call.Reconfigure = fuzz::StartRecord<ReconfigureParams>(host.ParamsArea);
        ReadPortName(input, call.Reconfigure->PortName);
        call.Reconfigure->ReadTimeout = input.Word32();
        call.Reconfigure->SerialParams = ReadSerialParams(input);
        break;
    case DYX_VALIDATE_ADDRESS:
        call.Validate = fuzz::StartRecord<AddressParams>(host.ParamsArea);
        call.Address = ReadAddress(input);
        call.Validate->AddressText = call.Flags & kNullAddressText ? nullptr : call.Address->Get();
        call.Validate->DataType = input.Word32();
        break;
    case DYX_READ_ITEM:
    case DYX_WRITE_ITEM:
        call.ItemBlock = fuzz::StartRecord<ItemParams>(host.ParamsArea);
        call.Address = ReadAddress(input);
        call.ItemBlock->AddressText = call.Flags & kNullAddressText ? nullptr : call.Address->Get();
        call.ItemBlock->DataType = input.Word32();
        call.ItemBlock->Item = call.Flags & kNullItem ? nullptr : host.Item;
        host.Item->Value = input.Word16();
        break;
    case DYX_DESCRIBE_DRIVER: call.Description = fuzz::StartRecord<DriverDescription>(host.ParamsArea); break;
    default: break;
    }

    host.Request->State = call.Flags & kNullState ? nullptr : call.State;
    host.Request->FunctionCode = call.Code;
    host.Request->Params = call.Flags & kNullParams ? nullptr : host.ParamsArea;
    return call;
}

// The bytes this call may change in the host's memory.
std::vector<fuzz::ByteRange> WritableBytes(const Call& call, const Host& host) {
    std::vector<fuzz::ByteRange> writable;
    const bool hasState = host.Request->State != nullptr;
    const bool hasParams = host.Request->Params != nullptr;
    if (HasOperation(call.Code) && call.Code != DYX_DESCRIBE_DRIVER && hasState) {
        writable.push_back({call.State, fuzz::StateSize()});
    }
    if (call.Validate != nullptr && hasParams) {
        writable.push_back({call.Validate->ResultWords, sizeof call.Validate->ResultWords});
    }
    if (call.Code == DYX_READ_ITEM && hasParams && call.ItemBlock->Item != nullptr) {
        writable.push_back({&host.Item->Value, sizeof host.Item->Value});
    }
    if (call.Description != nullptr && hasParams) writable.push_back({call.Description, sizeof *call.Description});
    return writable;
}

void CheckDescription(const DriverDescription& description, std::uint32_t code) {
    Require(description.FirstWord == 70 && description.FifthWord == 4 && description.LastWord == 0,
            "the description's constant words", code);
    Require(std::strcmp(description.DriverName, "KEYENCE KV Series") == 0, "the driver's name", code);
    Require(std::strlen(description.Banner) == kBannerLength, "the banner's length", code);
    Require(description.StateSize == fuzz::StateSize(), "StateSize changed between calls", code);
    Require(std::memcmp(&description.DefaultSerialParams, &kDefaultSerialParams, sizeof kDefaultSerialParams) == 0,
            "the default line settings", code);
}

// Every handle a channel holds is open on the platform, no two channels share one, and, unless a
// close was ever refused, nothing is open that no channel holds.
void CheckHandles(const Host& host, std::uint32_t code) {
    const fake::Port& port = fake::TheFake();
    std::size_t held = 0;
    for (const ChannelState* state : host.States) {
        if (state->PortHandle == nullptr) continue;
        ++held;
        Require(port.OpenDevices.count(state->PortHandle) == 1, "a channel holds a handle that is not open", code);
    }
    if (held == kChannels) {
        Require(host.States[0]->PortHandle != host.States[1]->PortHandle, "two channels hold one handle", code);
    }
    if (!host.CloseWasRefused) Require(port.OpenDevices.size() == held, "an open handle that no channel holds", code);
}

bool Terminated(const char (&portName)[kPortNameBytes]) {
    return std::memchr(portName, '\0', kPortNameBytes) != nullptr;
}

void CheckLifecycle(const Call& call, const ChannelState& before, std::uint32_t result, bool hasParams) {
    const ChannelState& state = *call.State;
    const std::uint32_t code = call.Code;
    const char* unterminatedName = nullptr;
    if (hasParams && call.Open != nullptr && !Terminated(call.Open->PortName)) unterminatedName = call.Open->PortName;
    if (hasParams && call.Reconfigure != nullptr && !Terminated(call.Reconfigure->PortName)) {
        unterminatedName = call.Reconfigure->PortName;
    }
    if (unterminatedName != nullptr) {
        Require(result == DYX_COMMUNICATION_FAILED && std::memcmp(&state, &before, sizeof state) == 0,
                "a port name without a NUL was not refused with the channel untouched", code);
    }
    if (code == DYX_OPEN_CHANNEL && hasParams && unterminatedName == nullptr) {
        Require(state.LinkUp == 0 && state.PortEnabled == call.Open->PortEnabled,
                "an open did not record PortEnabled and clear LinkUp", code);
        if (result == DYX_DONE && call.Open->PortEnabled != 0) {
            Require(state.PortHandle != nullptr, "an open succeeded without a handle", code);
        }
    }
    if ((code == DYX_CLOSE_CHANNEL || code == DYX_CLOSE_CHANNEL_TOO) && result == DYX_DONE) {
        Require(state.PortHandle == nullptr, "a close succeeded and kept the handle", code);
    }
    if ((code == DYX_REOPEN_CHANNEL || code == DYX_RECONFIGURE_CHANNEL) && result == DYX_DONE) {
        Require(state.PortHandle != nullptr, "an open succeeded without a handle", code);
    }
    if (code == DYX_REOPEN_CHANNEL && result == DYX_DONE) {
        Require(state.PortEnabled == 1, "a reopen did not set PortEnabled", code);
    }
    if (code != DYX_OPEN_CHANNEL) {
        Require(before.LinkUp == 0 || state.LinkUp == 1, "only an open may clear LinkUp", code);
    }
}

void RunCall(fuzz::FuzzInput& input, Host& host) {
    Call call = PrepareCall(input, host);
    fake::Port& port = fake::TheFake();
    const ChannelState before = *call.State;
    decltype(AddressParams::ResultWords) resultWordsBefore = {};
    if (call.Validate != nullptr) std::memcpy(resultWordsBefore, call.Validate->ResultWords, sizeof resultWordsBefore);
    const bool hasState = host.Request->State != nullptr;
    const bool hasParams = host.Request->Params != nullptr;
    host.Arena.Snapshot();
    port.ClearLog();

    const std::uint32_t result = DyxMain(host.Request);

    port.FailingCalls.clear();
    const std::uint32_t code = call.Code;
    Require(result <= DYX_COMMUNICATION_FAILED, "result outside 0, 1 and 2", code);
    Require(HasOperation(code) || result == DYX_REFUSED, "a code without an operation did not answer 1", code);
    Require(host.Arena.UnchangedExcept(WritableBytes(call, host)), "a byte the call may not write changed", code);
    if (call.Address != nullptr) Require(call.Address->Unchanged(), "the address text changed", code);

    if (call.Validate != nullptr && hasParams) {
        const void* expected = result == DYX_DONE ? kAddressResultWords : resultWordsBefore;
        Require(std::memcmp(call.Validate->ResultWords, expected, sizeof resultWordsBefore) == 0,
                "the address result words", code);
    }
    if (call.Description != nullptr && hasParams) {
        Require(result == DYX_DONE, "describe did not answer 0", code);
        CheckDescription(*call.Description, code);
    }

    const int writeCalls = fuzz::CountCalls(port, "WriteFile");
    const int lineBound = code == DYX_OPEN_LINK                             ? kAttempts
                          : code == DYX_READ_ITEM || code == DYX_WRITE_ITEM ? 2 * kAttempts
                                                                            : 0;
    Require(writeCalls <= lineBound, "more lines sent than the attempts allow", code);

    for (const ChannelState* state : host.States) {
        Require(state->LinkUp <= 1, "LinkUp outside 0 and 1", code);
    }
    if (hasState) CheckLifecycle(call, before, result, hasParams);
    CheckHandles(host, code);
}

} // namespace

// Input, per call: a code selector, a flags byte, a fault byte (one bit per platform call that refuses
// during the call), a reply selector (what the fake answers to every line), then the rest of the code
// for the selectors 22 and 23, then the code's fields (see PrepareCall).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    fake::TheFake().Reset();

    // One arena for the whole run: the driver's records are laid out afresh in it for every input.
    static fuzz::HostArena arena(kArenaBytes);
    arena.Clear();
    Host host(arena);
    for (ChannelState*& state : host.States) {
        state = static_cast<ChannelState*>(host.Arena.Place(fuzz::StateSize()));
        std::memset(state, 0, fuzz::StateSize());
    }
    host.Item = host.Arena.Place<ItemValue>();
    host.ParamsArea = host.Arena.Place(kParamsBytes);
    host.Request = host.Arena.Place<DriverRequest>();

    for (int calls = 0; calls < kMaxCalls && !input.Empty(); ++calls) {
        RunCall(input, host);
    }
    // The fake gives back what it kept, so every input frees what it allocated and the leak check
    // looks only at real leaks.
    fake::TheFake().Reset();
    return 0;
}
