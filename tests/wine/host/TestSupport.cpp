// Loading and calling the driver, the channel record, and reading the simulators' transcripts.
#include "TestSupport.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace winetest {
namespace {

constexpr std::size_t kShownFindings = 4;
constexpr std::size_t kGuardBytes = 64;
constexpr unsigned char kGuardFill = 0x5A;
// How long a transcript may lag behind the driver's call, and how often it is looked at meanwhile.
constexpr DWORD kTranscriptWaitMs = 5000;
constexpr DWORD kTranscriptPollMs = 5;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return static_cast<unsigned>(c - 'a' + 10);
}

// The quoted bytes of a transcript record, unescaped.
std::string UnescapeBytes(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            bytes += text[i];
            continue;
        }
        const char code = text[++i];
        if (code == 'r') {
            bytes += '\r';
        } else if (code == 'n') {
            bytes += '\n';
        } else if (code == 't') {
            bytes += '\t';
        } else if (code == 'x' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2])) {
            bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            bytes += code;
        }
    }
    return bytes;
}

// A record line is: seconds, direction, the escaped bytes in quotes, and perhaps a note.
bool ParseRecord(const std::string& line, LineRecord& record) {
    const std::size_t firstSpace = line.find(' ');
    if (firstSpace == std::string::npos) return false;
    const std::string direction = line.substr(firstSpace + 1, 2);
    if (direction != "RX" && direction != "TX") return false;
    const std::size_t open = line.find('"', firstSpace);
    if (open == std::string::npos) return false;
    std::size_t close = open + 1;
    while (close < line.size() && line[close] != '"') close += line[close] == '\\' ? 2 : 1;
    if (close >= line.size()) return false;
    record.Received = direction == "RX";
    record.Bytes = UnescapeBytes(line.substr(open + 1, close - open - 1));
    return true;
}

} // namespace

std::string Findings::Summary() const {
    std::string text;
    for (std::size_t i = 0; i < Items.size() && i < kShownFindings; ++i) {
        if (i != 0) text += "; ";
        text += Items[i];
    }
    if (Items.size() > kShownFindings) text += "; and " + std::to_string(Items.size() - kShownFindings) + " more";
    return text;
}

std::string EscapeBytes(const std::string& bytes) {
    static const char kHexDigits[] = "0123456789ABCDEF";
    std::string text;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\t') {
            text += "\\t";
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            text += "\\x";
            text += kHexDigits[byte >> 4];
            text += kHexDigits[byte & 0x0F];
        }
    }
    return text;
}

std::string Describe(const std::vector<LineRecord>& lines) {
    std::string text = "[";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) text += " ";
        text += (lines[i].Received ? "RX \"" : "TX \"") + EscapeBytes(lines[i].Bytes) + "\"";
    }
    return text + "]";
}

bool DriverUnderTest::Load(const std::string& libraryPath, std::string& error) {
    HostLoadedEarly = GetModuleHandleA("TARNEL.DLL") != nullptr;
    Module = LoadLibraryA(libraryPath.c_str());
    if (Module == nullptr) {
        error = "LoadLibrary(" + libraryPath + ") failed with error " + std::to_string(GetLastError());
        return false;
    }
    Entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(Module, "DyxMain")));
    if (Entry == nullptr) {
        error = "the library exports no DyxMain";
        return false;
    }
    // The module the driver imported err from; its other exports let the test read what was reported.
    HostModule = GetModuleHandleA("TARNEL.DLL");
    if (HostModule != nullptr) {
        MessageCount = reinterpret_cast<int(__cdecl*)()>(
            reinterpret_cast<void*>(GetProcAddress(HostModule, "TarnelMessageCount")));
        MessageText = reinterpret_cast<const char*(__cdecl*)(int)>(
            reinterpret_cast<void*>(GetProcAddress(HostModule, "TarnelMessageText")));
        MessageFormat = reinterpret_cast<const char*(__cdecl*)(int)>(
            reinterpret_cast<void*>(GetProcAddress(HostModule, "TarnelMessageFormat")));
        MessageLevel = reinterpret_cast<int(__cdecl*)(int)>(
            reinterpret_cast<void*>(GetProcAddress(HostModule, "TarnelMessageLevel")));
    }
    return true;
}

std::uint32_t DriverUnderTest::Call(std::uint32_t functionCode, ChannelState* state, void* params) {
    DriverRequest request{};
    request.State = state;
    request.FunctionCode = functionCode;
    request.HostWords[0] = 0xC0DE0001;
    request.HostWords[1] = 0xC0DE0002;
    request.Params = params;
    StackReport report{};
    const std::uint32_t result = CallWithStackCheck(Entry, &request, &report);
    if (Found != nullptr) {
        const std::string call = "DyxMain(code " + std::to_string(functionCode) + ")";
        Found->ExpectEqual(call + " stack pointer change", report.StackDelta, 0);
        Found->ExpectEqual(call + " callee-saved registers changed (mask)", report.ClobberedRegisters, 0u);
        Found->Expect(request.HostWords[0] == 0xC0DE0001 && request.HostWords[1] == 0xC0DE0002,
                      call + " wrote into the host's words of the request");
    }
    return result;
}

int DriverUnderTest::HostMessageCount() const {
    return MessageCount != nullptr ? MessageCount() : -1;
}

std::string DriverUnderTest::HostMessageText(int index) const {
    const char* text = MessageText != nullptr ? MessageText(index) : nullptr;
    return text != nullptr ? text : "(none)";
}

std::string DriverUnderTest::HostMessageFormat(int index) const {
    const char* text = MessageFormat != nullptr ? MessageFormat(index) : nullptr;
    return text != nullptr ? text : "(none)";
}

int DriverUnderTest::HostMessageLevel(int index) const {
    return MessageLevel != nullptr ? MessageLevel(index) : -1;
}

std::vector<LineRecord> ControllerTranscript::Read() const {
    std::vector<LineRecord> records;
    std::ifstream file(Path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        LineRecord record;
        if (ParseRecord(line, record)) records.push_back(record);
    }
    return records;
}

std::vector<LineRecord> ControllerTranscript::WaitFor(std::size_t count) const {
    const DWORD start = GetTickCount();
    std::vector<LineRecord> records = Read();
    while (records.size() < count && GetTickCount() - start < kTranscriptWaitMs) {
        Sleep(kTranscriptPollMs);
        records = Read();
    }
    return records;
}

std::vector<LineRecord> ControllerTranscript::WaitForReceived(std::size_t count) const {
    const auto received = [this] {
        std::vector<LineRecord> lines;
        for (const LineRecord& record : Read()) {
            if (record.Received) lines.push_back(record);
        }
        return lines;
    };
    const DWORD start = GetTickCount();
    std::vector<LineRecord> lines = received();
    while (lines.size() < count && GetTickCount() - start < kTranscriptWaitMs) {
        Sleep(kTranscriptPollMs);
        lines = received();
    }
    return lines;
}

void ExpectLines(Findings& found, const ControllerTranscript& transcript, std::size_t& cursor,
                 const std::vector<LineRecord>& expected, const std::string& what) {
    const std::vector<LineRecord> records = transcript.WaitFor(cursor + expected.size());
    const std::size_t end = records.size() < cursor + expected.size() ? records.size() : cursor + expected.size();
    const std::vector<LineRecord> seen(records.begin() + static_cast<std::ptrdiff_t>(cursor < end ? cursor : end),
                                       records.begin() + static_cast<std::ptrdiff_t>(end));
    if (seen != expected)
        found.Fail(what + ": the controller saw " + Describe(seen) + ", expected " + Describe(expected));
    cursor += expected.size();
}

std::string PortName(unsigned number) {
    return number < 10 ? "COM" + std::to_string(number) : "\\\\.\\COM" + std::to_string(number);
}

TestChannel::TestChannel(DriverUnderTest& driver, Findings& found)
    : Driver(driver), Found(found), Bytes(kStateSize + kGuardBytes, kGuardFill) {
    std::memset(Bytes.data(), 0, kStateSize);
}

TestChannel::~TestChannel() {
    // A scenario that stopped early may have left the port open; another scenario may want it.
    if (State().PortHandle != nullptr) Driver.Call(DYX_CLOSE_CHANNEL, &State(), nullptr);
}

std::uint32_t TestChannel::Open(const std::string& portName, std::uint32_t readTimeoutTenMs, std::uint32_t portEnabled,
                                SerialParams lineSettings) {
    OpenParams params{};
    std::strncpy(params.PortName, portName.c_str(), sizeof params.PortName - 1);
    params.PortEnabled = portEnabled;
    params.ReadTimeout = readTimeoutTenMs;
    params.SerialParams = lineSettings;
    return Driver.Call(DYX_OPEN_CHANNEL, &State(), &params);
}

std::uint32_t TestChannel::OpenLink() {
    return Driver.Call(DYX_OPEN_LINK, &State(), nullptr);
}

std::uint32_t TestChannel::Close(std::uint32_t functionCode) {
    return Driver.Call(functionCode, &State(), nullptr);
}

std::uint32_t TestChannel::Reopen() {
    return Driver.Call(DYX_REOPEN_CHANNEL, &State(), nullptr);
}

std::uint32_t TestChannel::Reconfigure(const std::string& portName, std::uint32_t readTimeoutTenMs,
                                       SerialParams lineSettings) {
    ReconfigureParams params{};
    std::strncpy(params.PortName, portName.c_str(), sizeof params.PortName - 1);
    params.ReadTimeout = readTimeoutTenMs;
    params.SerialParams = lineSettings;
    return Driver.Call(DYX_RECONFIGURE_CHANNEL, &State(), &params);
}

std::uint32_t TestChannel::Read(const char* address, std::uint32_t dataType, ItemValue& item) {
    ItemParams params{};
    params.AddressText = address;
    params.DataType = dataType;
    params.Item = &item;
    return Driver.Call(DYX_READ_ITEM, &State(), &params);
}

std::uint32_t TestChannel::Write(const char* address, std::uint32_t dataType, ItemValue& item) {
    ItemParams params{};
    params.AddressText = address;
    params.DataType = dataType;
    params.Item = &item;
    return Driver.Call(DYX_WRITE_ITEM, &State(), &params);
}

void TestChannel::CheckGuard() {
    for (std::size_t i = kStateSize; i < Bytes.size(); ++i) {
        if (Bytes[i] != kGuardFill) {
            Found.Fail("byte " + std::to_string(i) + " past the channel record was written");
            return;
        }
    }
}

} // namespace winetest
