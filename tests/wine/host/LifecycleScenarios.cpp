// Scenarios of a channel's port: open, close, reopen and reconfigure, the failed open reported to the
// host library, and the link handshake.
#include <cstring>
#include <fstream>

#include "Scenarios.h"

namespace winetest {
namespace {

constexpr std::uint32_t kReadTimeoutTenMs = 100;
constexpr char kFailedOpenFormat[] = "DYX%s : Fail to open %s";
constexpr char kFailedOpenText[] = "DYXKEYENCE KV Series : Fail to open COM9";
constexpr int kFailedOpenLevel = 32;

bool SameLineSettings(const SerialParams& a, const SerialParams& b) {
    return a.Baud == b.Baud && a.DataBits == b.DataBits && a.StopBitsCode == b.StopBitsCode &&
           a.ParityCode == b.ParityCode;
}

// Whether this platform hands out a second handle to a serial device that is already open. Windows
// does not; the driver's results for a second open of the same device follow from that.
bool PlatformGrantsSecondOpen(const std::string& portName) {
    HANDLE first = CreateFileA(portName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (first == INVALID_HANDLE_VALUE) return false;
    HANDLE second = CreateFileA(portName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool granted = second != INVALID_HANDLE_VALUE;
    if (granted) CloseHandle(second);
    CloseHandle(first);
    return granted;
}

// A read of DM$1234 on the channel, which must go out as one line and come back with `value`.
void ExpectRead(Findings& found, TestChannel& channel, const ControllerTranscript& transcript, std::size_t& cursor,
                std::uint16_t value, const std::string& what) {
    ItemValue item{};
    found.ExpectEqual(what + " read result", channel.Read("DM$1234", DYX_WORD_ITEM, item), std::uint32_t{DYX_DONE});
    found.ExpectEqual(what + " read value", item.Value, value);
    char reply[16];
    std::snprintf(reply, sizeof reply, "%05u\r\n", static_cast<unsigned>(value));
    ExpectLines(found, transcript, cursor, {Rx("RD DM1234\r"), Tx(reply)}, what + " read");
}

void RunLifecycle(ScenarioContext& context, const void*) {
    Findings& found = context.Found;
    const ControllerPort& main = context.Controller(kSharedController.Name);
    const ControllerPort& spare = context.Controller(kSpareController.Name);
    const ControllerTranscript mainLines(main.TranscriptPath);
    const ControllerTranscript spareLines(spare.TranscriptPath);
    std::size_t mainCursor = mainLines.Read().size();
    std::size_t spareCursor = spareLines.Read().size();
    const bool secondOpenGranted = PlatformGrantsSecondOpen(main.PortName);
    const int reportsBefore = context.Driver.HostMessageCount();
    TestChannel channel(context.Driver, found);
    ChannelState& state = channel.State();

    found.ExpectEqual("open result", channel.Open(main.PortName, kReadTimeoutTenMs), std::uint32_t{DYX_DONE});
    found.Expect(state.PortHandle != nullptr, "open left PortHandle null");
    found.ExpectEqual("stored PortName", std::string(state.PortSettings.PortName), main.PortName);
    found.Expect(SameLineSettings(state.PortSettings.SerialParams, kPtyLineSettings), "stored SerialParams differ");
    found.ExpectEqual("stored OpenFlags", state.PortSettings.OpenFlags, 8);
    found.ExpectEqual("ReadTimeout after open", state.ReadTimeout, kReadTimeoutTenMs);
    found.ExpectEqual("PortEnabled after open", state.PortEnabled, 1u);
    found.ExpectEqual("LinkUp after open", state.LinkUp, 0);

    found.ExpectEqual("handshake result", channel.OpenLink(), std::uint32_t{DYX_DONE});
    found.ExpectEqual("LinkUp after handshake", state.LinkUp, 1);
    ExpectLines(found, mainLines, mainCursor, {Rx("CR\r"), Tx("CC\r\n")}, "handshake");

    found.ExpectEqual("close result", channel.Close(DYX_CLOSE_CHANNEL), std::uint32_t{DYX_DONE});
    found.Expect(state.PortHandle == nullptr, "close left PortHandle set");
    found.ExpectEqual("second close (code 12) result", channel.Close(DYX_CLOSE_CHANNEL_TOO), std::uint32_t{DYX_DONE});
    found.ExpectEqual("LinkUp after close", state.LinkUp, 1);

    found.ExpectEqual("reopen result", channel.Reopen(), std::uint32_t{DYX_DONE});
    found.Expect(state.PortHandle != nullptr, "reopen left PortHandle null");
    found.ExpectEqual("LinkUp after reopen", state.LinkUp, 1);
    // The link is still up, so the read goes out without a new handshake.
    ExpectRead(found, channel, mainLines, mainCursor, 42, "after reopen");

    void* const openHandle = state.PortHandle;
    const std::uint32_t secondOpenResult = channel.Reopen();
    if (secondOpenGranted) {
        // The platform gave the device a second handle: the new one takes the old one's place.
        found.ExpectEqual("reopen of the open port result", secondOpenResult, std::uint32_t{DYX_DONE});
        found.Expect(state.PortHandle != nullptr && state.PortHandle != openHandle,
                     "reopen of the open port did not store the new handle");
    } else {
        found.ExpectEqual("reopen of the open port result", secondOpenResult, std::uint32_t{DYX_COMMUNICATION_FAILED});
        found.Expect(state.PortHandle == openHandle, "a failed reopen changed PortHandle");
    }
    ExpectRead(found, channel, mainLines, mainCursor, 42, "after a second reopen");

    const SerialParams faster = {19200, 8, 0, 0};
    void* const beforeReconfigure = state.PortHandle;
    const std::uint32_t sameNameResult = channel.Reconfigure(main.PortName, 0, faster);
    found.ExpectEqual("ReadTimeout after a reconfigure with 0", state.ReadTimeout, kReadTimeoutTenMs);
    found.Expect(SameLineSettings(state.PortSettings.SerialParams, faster),
                 "reconfigure did not store the new settings");
    if (secondOpenGranted) {
        found.ExpectEqual("reconfigure of the open port result", sameNameResult, std::uint32_t{DYX_DONE});
        found.Expect(state.PortHandle != nullptr && state.PortHandle != beforeReconfigure,
                     "reconfigure of the open port did not store the new handle");
    } else {
        found.ExpectEqual("reconfigure of the open port result", sameNameResult,
                          std::uint32_t{DYX_COMMUNICATION_FAILED});
        found.Expect(state.PortHandle == beforeReconfigure, "a failed reconfigure changed PortHandle");
    }
    ExpectRead(found, channel, mainLines, mainCursor, 42, "after reconfiguring the same port");

    found.ExpectEqual("reconfigure to the spare port result", channel.Reconfigure(spare.PortName, 25, kPtyLineSettings),
                      std::uint32_t{DYX_DONE});
    found.ExpectEqual("ReadTimeout after reconfigure with 25", state.ReadTimeout, 25u);
    found.ExpectEqual("PortName after reconfigure", std::string(state.PortSettings.PortName), spare.PortName);
    ExpectRead(found, channel, spareLines, spareCursor, 4242, "on the spare port");

    found.ExpectEqual("reconfigure to an absent port result", channel.Reconfigure(kAbsentPort, 0, kPtyLineSettings),
                      std::uint32_t{DYX_COMMUNICATION_FAILED});
    found.Expect(state.PortHandle == nullptr, "the spare port stayed in PortHandle after moving to an absent port");
    found.ExpectEqual("PortName after a failed reconfigure", std::string(state.PortSettings.PortName),
                      std::string(kAbsentPort));
    found.ExpectEqual("reopen of the absent port result", channel.Reopen(), std::uint32_t{DYX_COMMUNICATION_FAILED});
    found.Expect(state.PortHandle == nullptr, "a failed reopen set PortHandle");

    found.ExpectEqual("open with PortEnabled 0 result", channel.Open(main.PortName, kReadTimeoutTenMs, 0),
                      std::uint32_t{DYX_DONE});
    found.ExpectEqual("PortEnabled after an open with 0", state.PortEnabled, 0u);
    found.ExpectEqual("LinkUp after an open with PortEnabled 0", state.LinkUp, 0);
    found.Expect(state.PortHandle == nullptr, "an open with PortEnabled 0 opened a port");
    found.ExpectEqual("PortName after an open with PortEnabled 0", std::string(state.PortSettings.PortName),
                      std::string(kAbsentPort));
    found.ExpectEqual("close with no port result", channel.Close(), std::uint32_t{DYX_DONE});
    found.ExpectEqual("reports from failed reopens and reconfigures", context.Driver.HostMessageCount() - reportsBefore,
                      0);

    // Nothing more reached either controller than what was checked above.
    ExpectLines(found, mainLines, mainCursor, {}, "main port at the end");
    found.ExpectEqual("lines on the main port", mainLines.Read().size(), mainCursor);
    found.ExpectEqual("lines on the spare port", spareLines.Read().size(), spareCursor);
    channel.CheckGuard();
}

std::size_t CountLines(const std::string& path) {
    std::ifstream file(path);
    std::size_t lines = 0;
    std::string line;
    while (std::getline(file, line)) ++lines;
    return lines;
}

std::string LastLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::string last;
    while (std::getline(file, line)) last = line;
    return last;
}

void RunOpenFailure(ScenarioContext& context, const void*) {
    Findings& found = context.Found;
    DriverUnderTest& driver = context.Driver;
    const std::size_t logLinesBefore = context.TarnelLogPath.empty() ? 0 : CountLines(context.TarnelLogPath);
    TestChannel channel(driver, found);
    ChannelState& state = channel.State();

    const int before = driver.HostMessageCount();
    found.ExpectEqual("open of an absent port with PortEnabled 0 result", channel.Open(kAbsentPort, 5, 0),
                      std::uint32_t{DYX_DONE});
    found.ExpectEqual("reports after an open with PortEnabled 0", driver.HostMessageCount(), before);

    found.ExpectEqual("open of an absent port result", channel.Open(kAbsentPort, 5),
                      std::uint32_t{DYX_COMMUNICATION_FAILED});
    if (found.ExpectEqual("reports after the failed open", driver.HostMessageCount(), before + 1)) {
        found.ExpectEqual("report level", driver.HostMessageLevel(before), kFailedOpenLevel);
        found.ExpectEqual("report format", driver.HostMessageFormat(before), std::string(kFailedOpenFormat));
        found.ExpectEqual("report text", driver.HostMessageText(before), std::string(kFailedOpenText));
    }
    found.Expect(state.PortHandle == nullptr, "a failed open set PortHandle");
    found.ExpectEqual("PortEnabled after a failed open", state.PortEnabled, 1u);
    found.ExpectEqual("LinkUp after a failed open", state.LinkUp, 0);
    found.ExpectEqual("PortName after a failed open", std::string(state.PortSettings.PortName), std::string());
    found.ExpectEqual("ReadTimeout after a failed open", state.ReadTimeout, 0u);

    // The host library's own log, where the runner asked for one, holds the same single report.
    if (!context.TarnelLogPath.empty()) {
        found.ExpectEqual("lines added to the host library's log", CountLines(context.TarnelLogPath) - logLinesBefore,
                          std::size_t{1});
        found.ExpectEqual("host library's log line", LastLine(context.TarnelLogPath),
                          std::to_string(kFailedOpenLevel) + "|" + kFailedOpenFormat + "|" + kFailedOpenText);
    }
    channel.CheckGuard();
}

void RunHandshake(ScenarioContext& context, const void*) {
    Findings& found = context.Found;
    const ControllerPort& port = context.Controller(kSharedController.Name);
    const ControllerTranscript lines(port.TranscriptPath);
    std::size_t cursor = lines.Read().size();

    // With no port, every send fails: six attempts, nothing on any line, LinkUp unchanged.
    TestChannel unopened(context.Driver, found);
    found.ExpectEqual("handshake without a port result", unopened.OpenLink(), std::uint32_t{DYX_COMMUNICATION_FAILED});
    found.ExpectEqual("LinkUp after a failed handshake", unopened.State().LinkUp, 0);

    TestChannel channel(context.Driver, found);
    found.ExpectEqual("open result", channel.Open(port.PortName, kReadTimeoutTenMs), std::uint32_t{DYX_DONE});
    found.ExpectEqual("handshake result", channel.OpenLink(), std::uint32_t{DYX_DONE});
    found.ExpectEqual("LinkUp", channel.State().LinkUp, 1);
    found.ExpectEqual("ReplyLength", channel.State().ReplyLength, 2);
    found.Expect(std::memcmp(channel.State().ReplyBuffer, "CC\r", 4) == 0, "ReplyBuffer does not hold CC, CR, NUL");
    ExpectLines(found, lines, cursor, {Rx("CR\r"), Tx("CC\r\n")}, "handshake");
    // A handshake is made on request even while the link is up.
    found.ExpectEqual("second handshake result", channel.OpenLink(), std::uint32_t{DYX_DONE});
    ExpectLines(found, lines, cursor, {Rx("CR\r"), Tx("CC\r\n")}, "second handshake");
    found.ExpectEqual("close result", channel.Close(), std::uint32_t{DYX_DONE});
    found.ExpectEqual("lines on the port", lines.Read().size(), cursor);
    channel.CheckGuard();
}

} // namespace

void AddLifecycleScenarios(std::vector<Scenario>& scenarios) {
    scenarios.push_back({"lifecycle", RunLifecycle, nullptr, {kSharedController.Name, kSpareController.Name}});
    scenarios.push_back({"open-failure", RunOpenFailure, nullptr, {}});
    scenarios.push_back({"handshake", RunHandshake, nullptr, {kSharedController.Name}});
}

} // namespace winetest
