// What every scenario of the Windows test host works with: the driver loaded as the host runtime loads
// it, a channel record owned by the test, the simulated controllers' transcripts, and the findings.
#ifndef DYX_WINE_TEST_SUPPORT_H
#define DYX_WINE_TEST_SUPPORT_H

#include <windows.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "DyxDriver.h"
#include "StackCheckedCall.h"

namespace winetest {

// The line settings a pseudo-terminal accepts: it has no parity, so parity none.
constexpr SerialParams kPtyLineSettings = {9600, 8, 0, 0};
// A COM port that no controller is mapped to.
constexpr char kAbsentPort[] = "COM9";
// The driver's description reports this record size; the test allocates it and checks the bytes after.
constexpr std::uint32_t kStateSize = 564;

// What a scenario found wrong, in the order found.
class Findings {
public:
    void Fail(const std::string& what) { Items.push_back(what); }
    bool Expect(bool condition, const std::string& what) {
        if (!condition) Fail(what);
        return condition;
    }
    template <typename Actual, typename Wanted>
    bool ExpectEqual(const std::string& what, const Actual& actual, const Wanted& expected) {
        if (actual == expected) return true;
        std::ostringstream text;
        text << what << " is " << Printable(actual) << ", expected " << Printable(expected);
        Fail(text.str());
        return false;
    }
    bool Empty() const { return Items.empty(); }
    // The first few findings joined into one line.
    std::string Summary() const;

private:
    template <typename T> static auto Printable(const T& value) {
        if constexpr (std::is_integral_v<T> && sizeof(T) <= 2) {
            return static_cast<unsigned>(value);
        } else {
            return value;
        }
    }
    std::vector<std::string> Items;
};

// Shows bytes as the simulator's transcript does: printable ASCII as it is, \r \n \t, and \xHH.
std::string EscapeBytes(const std::string& bytes);

// The driver library as the host runtime uses it: loaded with LoadLibrary, DyxMain found by its plain
// name and called through a stdcall pointer, every call checked for what it did to the stack.
class DriverUnderTest {
public:
    bool Load(const std::string& libraryPath, std::string& error);

    // One call of DyxMain. A call that moved the stack pointer or changed a callee-saved register is a
    // finding of the current scenario.
    std::uint32_t Call(std::uint32_t functionCode, ChannelState* state, void* params);

    void ReportTo(Findings* findings) { Found = findings; }
    HMODULE Library() const { return Module; }
    HMODULE HostLibrary() const { return HostModule; }
    bool HostLibraryLoadedBefore() const { return HostLoadedEarly; }

    // The host runtime library's record of reports, read through its own exports.
    int HostMessageCount() const;
    std::string HostMessageText(int index) const;
    std::string HostMessageFormat(int index) const;
    int HostMessageLevel(int index) const;

private:
    HMODULE Module = nullptr;
    HMODULE HostModule = nullptr;
    bool HostLoadedEarly = false;
    EntryPoint Entry = nullptr;
    Findings* Found = nullptr;
    int(__cdecl* MessageCount)() = nullptr;
    const char*(__cdecl* MessageText)(int) = nullptr;
    const char*(__cdecl* MessageFormat)(int) = nullptr;
    int(__cdecl* MessageLevel)(int) = nullptr;
};

// One line as the simulator's transcript records it: received from the driver (RX) or sent (TX).
struct LineRecord {
    bool Received;
    std::string Bytes;
    bool operator==(const LineRecord& other) const { return Received == other.Received && Bytes == other.Bytes; }
};
inline LineRecord Rx(const std::string& bytes) {
    return {true, bytes};
}
inline LineRecord Tx(const std::string& bytes) {
    return {false, bytes};
}
std::string Describe(const std::vector<LineRecord>& lines);

// A simulated controller's transcript file, read as the simulator flushes it.
class ControllerTranscript {
public:
    explicit ControllerTranscript(std::string path) : Path(std::move(path)) {}
    // Every RX and TX record so far; notes are skipped.
    std::vector<LineRecord> Read() const;
    // Reads until at least `count` records are there or a few seconds have passed: the simulator logs
    // a line just after it arrives, which may be a moment after the driver's call returned.
    std::vector<LineRecord> WaitFor(std::size_t count) const;
    // The same for the RX records alone: what the controller received, whether it answered or not.
    std::vector<LineRecord> WaitForReceived(std::size_t count) const;

private:
    std::string Path;
};

// The controller a scenario talks to: the COM port the runner mapped to its pseudo-terminal, and the
// transcript the simulator keeps there.
struct ControllerPort {
    std::string PortName;
    std::string TranscriptPath;
};

// A ChannelState allocated as a host allocates one: the reported size, zero-filled, followed here by
// guard bytes that no call may touch.
class TestChannel {
public:
    TestChannel(DriverUnderTest& driver, Findings& found);
    ~TestChannel();
    TestChannel(const TestChannel&) = delete;
    TestChannel& operator=(const TestChannel&) = delete;

    ChannelState& State() { return *reinterpret_cast<ChannelState*>(Bytes.data()); }
    std::uint32_t Open(const std::string& portName, std::uint32_t readTimeoutTenMs, std::uint32_t portEnabled = 1,
                       SerialParams lineSettings = kPtyLineSettings);
    std::uint32_t OpenLink();
    std::uint32_t Close(std::uint32_t functionCode = DYX_CLOSE_CHANNEL);
    std::uint32_t Reopen();
    std::uint32_t Reconfigure(const std::string& portName, std::uint32_t readTimeoutTenMs, SerialParams lineSettings);
    std::uint32_t Read(const char* address, std::uint32_t dataType, ItemValue& item);
    std::uint32_t Write(const char* address, std::uint32_t dataType, ItemValue& item);
    // Reports any guard byte that a call changed.
    void CheckGuard();

private:
    DriverUnderTest& Driver;
    Findings& Found;
    std::vector<unsigned char> Bytes;
};

// Everything a scenario is given.
struct ScenarioContext {
    DriverUnderTest& Driver;
    Findings& Found;
    std::map<std::string, ControllerPort> Controllers; // by profile name
    std::string TarnelLogPath;                         // the host library's log file, or empty

    const ControllerPort& Controller(const std::string& profile) const { return Controllers.at(profile); }
};

// Checks a run of transcript records from `cursor` on against `expected`, then moves the cursor past
// them, so that every record of a scenario is accounted for exactly once.
void ExpectLines(Findings& found, const ControllerTranscript& transcript, std::size_t& cursor,
                 const std::vector<LineRecord>& expected, const std::string& what);

// Port names as a host gives them: COM1 to COM9 plainly, higher numbers with the device prefix.
std::string PortName(unsigned number);

} // namespace winetest

#endif
