// Scenarios against a controller that misbehaves in one way each: silence, a reply of the wrong length,
// an overlong line, stray bytes before a reply, an unrequested line after one, a reply in slow pieces,
// and broken line ends on the handshake. Each row has a controller of its own, so the simulator's
// command numbering, on which its faults depend, starts with the row.
#include "Scenarios.h"

namespace winetest {
namespace {

constexpr std::uint16_t kUntouched = 0xBEEF;
// A short read time-out keeps the silent rows quick: 50 ms per attempt.
constexpr std::uint32_t kShortTimeoutTenMs = 5;
constexpr std::uint32_t kLongTimeoutTenMs = 100;
constexpr std::uint32_t kAttempts = 6;
// Six silent attempts at 50 ms each take at least this long (the platform may end a wait a few
// milliseconds early); with the 1 s time-out of a port opened without the channel's own they would
// take 6 s, beyond the upper bound.
constexpr DWORD kSilenceAtLeastMs = kAttempts * 40;
constexpr DWORD kSilenceAtMostMs = 5000;

enum class Operation { Read, Write, Handshake };

struct FaultStep {
    Operation Action;
    const char* Address;
    std::uint16_t ValueIn;
    std::uint32_t Result;
    std::uint16_t ValueOut;
};

struct FaultCase {
    const char* Name;
    const char* Options;
    std::uint32_t ReadTimeoutTenMs;
    std::vector<FaultStep> Steps;
    std::vector<std::string> Commands; // every line the controller receives, in order
    std::uint16_t LinkUpAfter;
    const char* AddressFieldAfter; // null: never written, because no address was looked at
    bool TimeSilence;              // bound the time of the first step
};

const std::string kLink = "CR\r";
const std::string kReadDm = "RD DM1234\r";
const std::string kWriteDm = "WR DM2000 00042\r";

// "--faults-after 1" lets the handshake through, so the fault hits the item's command.
const FaultCase kFaultCases[] = {
    {"silence",
     "--faults-after 1 --silent-always",
     kShortTimeoutTenMs,
     {{Operation::Read, "DM$1234", kUntouched, 2, kUntouched}},
     {kLink, kReadDm, kReadDm, kReadDm, kReadDm, kReadDm, kReadDm},
     1,
     "DM$1234 ",
     true},
    {"silent-link",
     "--silent-always",
     kShortTimeoutTenMs,
     {{Operation::Read, "DM$1234", kUntouched, 2, kUntouched}},
     {kLink, kLink, kLink, kLink, kLink, kLink},
     0,
     nullptr,
     false},
    {"wrong-length-read",
     "--faults-after 1 --wrong-length 1 --set DM1234=42",
     kShortTimeoutTenMs,
     {{Operation::Read, "DM$1234", kUntouched, 1, kUntouched}, {Operation::Read, "DM$1234", kUntouched, 0, 42}},
     {kLink, kReadDm, kReadDm},
     1,
     "DM$1234 ",
     false},
    {"wrong-length-write",
     "--faults-after 1 --wrong-length 1",
     kShortTimeoutTenMs,
     {{Operation::Write, "DM$2000", 42, 1, 42}},
     {kLink, kWriteDm},
     1,
     "DM$2000 ",
     false},
    {"long-line",
     "--faults-after 1 --long-line 1 --set DM1234=42",
     kShortTimeoutTenMs,
     {{Operation::Read, "DM$1234", kUntouched, 0, 42}},
     {kLink, kReadDm, kReadDm},
     1,
     "DM$1234 ",
     false},
    {"stray-bytes",
     "--faults-after 1 --stray-bytes 1 --set DM1234=42",
     kShortTimeoutTenMs,
     {{Operation::Read, "DM$1234", kUntouched, 1, kUntouched}, {Operation::Read, "DM$1234", kUntouched, 0, 42}},
     {kLink, kReadDm, kReadDm},
     1,
     "DM$1234 ",
     false},
    {"late-line",
     "--late-line-always --set DM1234=42",
     kShortTimeoutTenMs,
     {{Operation::Read, "DM$1234", kUntouched, 0, 42}, {Operation::Read, "DM$1234", kUntouched, 0, 42}},
     {kLink, kReadDm, kReadDm},
     1,
     "DM$1234 ",
     false},
    {"slow-pieces",
     "--slow-pieces-always --piece-gap 10 --set DM1234=42",
     kLongTimeoutTenMs,
     {{Operation::Read, "DM$1234", kUntouched, 0, 42}},
     {kLink, kReadDm},
     1,
     "DM$1234 ",
     false},
    {"lone-lf",
     "--lone-lf 1",
     kShortTimeoutTenMs,
     {{Operation::Handshake, nullptr, 0, 2, 0}},
     {kLink},
     0,
     nullptr,
     false},
    {"no-cr", "--no-cr 1", kShortTimeoutTenMs, {{Operation::Handshake, nullptr, 0, 2, 0}}, {kLink}, 0, nullptr, false},
    {"crlf-only",
     "--crlf-only 1",
     kShortTimeoutTenMs,
     {{Operation::Handshake, nullptr, 0, 2, 0}},
     {kLink},
     0,
     nullptr,
     false},
};

void RunFaultCase(ScenarioContext& context, const void* detail) {
    const auto& c = *static_cast<const FaultCase*>(detail);
    Findings& found = context.Found;
    const ControllerPort& port = context.Controller(c.Name);
    TestChannel channel(context.Driver, found);
    found.ExpectEqual("open result", channel.Open(port.PortName, c.ReadTimeoutTenMs), std::uint32_t{DYX_DONE});

    for (std::size_t i = 0; i < c.Steps.size(); ++i) {
        const FaultStep& step = c.Steps[i];
        const std::string what = "step " + std::to_string(i + 1);
        ItemValue item{};
        item.Value = step.ValueIn;
        const DWORD startMs = GetTickCount();
        std::uint32_t result = 0;
        switch (step.Action) {
        case Operation::Read: result = channel.Read(step.Address, DYX_WORD_ITEM, item); break;
        case Operation::Write: result = channel.Write(step.Address, DYX_WORD_ITEM, item); break;
        case Operation::Handshake: result = channel.OpenLink(); break;
        }
        const DWORD elapsedMs = GetTickCount() - startMs;
        found.ExpectEqual(what + " result", result, step.Result);
        if (step.Action != Operation::Handshake) found.ExpectEqual(what + " value", item.Value, step.ValueOut);
        if (c.TimeSilence && i == 0) {
            found.Expect(elapsedMs >= kSilenceAtLeastMs && elapsedMs <= kSilenceAtMostMs,
                         "six silent attempts took " + std::to_string(elapsedMs) + " ms");
        }
    }
    found.ExpectEqual("LinkUp at the end", channel.State().LinkUp, c.LinkUpAfter);
    // The reply line never spills past ReplyBuffer: the fields behind it are as the last call left them.
    found.ExpectEqual("AddressField", std::string(channel.State().AddressField, 8),
                      c.AddressFieldAfter != nullptr ? std::string(c.AddressFieldAfter) : std::string(8, '\0'));
    channel.CheckGuard();

    std::vector<LineRecord> expected;
    for (const std::string& command : c.Commands) expected.push_back(Rx(command));
    const ControllerTranscript lines(port.TranscriptPath);
    const std::vector<LineRecord> received = lines.WaitForReceived(c.Commands.size());
    if (received != expected) {
        found.Fail("the controller received " + Describe(received) + ", expected " + Describe(expected));
    }
    found.ExpectEqual("close result", channel.Close(), std::uint32_t{DYX_DONE});
}

} // namespace

void AddFaultScenarios(std::vector<Scenario>& scenarios, std::vector<ControllerProfile>& profiles) {
    for (const FaultCase& c : kFaultCases) {
        scenarios.push_back({c.Name, RunFaultCase, &c, {c.Name}});
        profiles.push_back({c.Name, c.Options});
    }
}

} // namespace winetest
