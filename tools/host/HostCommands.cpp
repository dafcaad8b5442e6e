// The subcommands of dyx_host: describe, check, read, write and watch, each through DyxMain only.
#include "HostCommands.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "CodePage437.h"
#include "DriverChannel.h"
#include "DriverLibrary.h"
#include "HostOptions.h"
#include "LineSettingNames.h"
#include "ResultWords.h"
#include "StopRequest.h"

namespace host {
namespace {

std::string DataTypeName(std::uint32_t dataType) {
    switch (dataType & 0xFFU) {
    case DYX_WORD_ITEM:
    case DYX_WORD_ITEM_TOO: return "word";
    case DYX_BIT_ITEM: return "bit";
    default: return "data type " + std::to_string(dataType);
    }
}

void PrintDescription(const DriverDescription& description, std::ostream& out) {
    const SerialParams& defaults = description.DefaultSerialParams;
    out << "Driver name: " << (description.DriverName != nullptr ? description.DriverName : "(none)") << "\n";
    const std::string banner = CodePage437ToUtf8(description.Banner != nullptr ? description.Banner : "");
    out << "Banner:" << banner << (banner.empty() || banner.back() != '\n' ? "\n" : "");
    out << "State size:  " << description.StateSize << " bytes\n";
    out << "Defaults:    " << defaults.Baud << " baud, " << (defaults.DataBits & 0xFFU) << " data bits, "
        << NameForCode(kStopBitsNames, defaults.StopBitsCode & 0xFFU)
        << ((defaults.StopBitsCode & 0xFFU) == 0 ? " stop bit" : " stop bits") << ", parity "
        << NameForCode(kParityNames, defaults.ParityCode & 0xFFU) << "\n";
    out << "Host words:  " << description.FirstWord << ", " << description.FifthWord << ", " << description.LastWord
        << " (first, fifth, last)\n";
}

int CheckAddresses(const HostOptions& options, DriverChannel& channel, std::ostream& out) {
    int status = 0;
    for (const std::string& address : options.Addresses) {
        const std::uint32_t dataType = DataTypeFor(options, address);
        const ResultWords words = WordsForResult(channel.ValidateAddress(address, dataType));
        out << address << " as " << DataTypeName(dataType) << ": " << words.Words << "\n";
        status = WorseExitStatus(status, words.ExitStatus);
    }
    return status;
}

// "DM$0100 = 1234" for a value read, "DM$0100: <words>" for any other result.
std::string ReadOutcome(const std::string& address, const ResultWords& words, std::uint16_t value) {
    return words.Result == DYX_DONE ? address + " = " + std::to_string(value) : address + ": " + words.Words;
}

int ReadAddresses(const HostOptions& options, DriverChannel& channel, std::ostream& out) {
    int status = 0;
    for (const std::string& address : options.Addresses) {
        std::uint16_t value = 0;
        const ResultWords words = WordsForResult(channel.Read(address, DataTypeFor(options, address), value));
        out << ReadOutcome(address, words, value) << "\n";
        status = WorseExitStatus(status, words.ExitStatus);
    }
    return status;
}

int WriteAddress(const HostOptions& options, DriverChannel& channel, std::ostream& out) {
    const std::string& address = options.Addresses.front();
    const ResultWords words = WordsForResult(channel.Write(address, DataTypeFor(options, address), options.Value));
    out << address << " <- " << options.Value << ": " << words.Words << "\n";
    return words.ExitStatus;
}

std::string Elapsed(std::chrono::steady_clock::time_point start) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return text;
}

// Polls until --count polls are done or a stop is asked for. The wait between polls is the wait for
// the stop, so a stop asked for during a transaction ends the watch right after it, with the channel
// closed properly.
int WatchAddresses(const HostOptions& options, DriverChannel& channel, std::ostream& out) {
    StopRequest stopRequest;

    struct Seen {
        std::uint32_t Result;
        std::uint16_t Value;
    };
    std::vector<std::optional<Seen>> seen(options.Addresses.size());
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    std::uint64_t polls = 0;
    bool stopped = false;
    while (!stopped) {
        status = 0;
        for (std::size_t i = 0; i < options.Addresses.size(); ++i) {
            const std::string& address = options.Addresses[i];
            std::uint16_t value = 0;
            const std::uint32_t result = channel.Read(address, DataTypeFor(options, address), value);
            const ResultWords words = WordsForResult(result);
            status = WorseExitStatus(status, words.ExitStatus);
            if (result != DYX_DONE) {
                value = 0;
            }
            if (seen[i] && seen[i]->Result == result && seen[i]->Value == value) {
                continue;
            }
            seen[i] = Seen{result, value};
            out << "[" << Elapsed(start) << "] " << ReadOutcome(address, words, value) << "\n";
        }
        out.flush();
        ++polls;
        if (options.Count && polls >= *options.Count) {
            break;
        }
        stopped = stopRequest.WaitFor(options.IntervalMs);
    }
    out << "watch ended after " << polls << (polls == 1 ? " poll" : " polls") << (stopped ? " (stopped by signal)" : "")
        << "\n";
    return status;
}

SerialParams LineSettings(const HostOptions& options, const SerialParams& defaults) {
    SerialParams params = defaults;
    params.Baud = options.Baud.value_or(defaults.Baud);
    params.DataBits = options.DataBits.value_or(defaults.DataBits);
    params.StopBitsCode = options.StopBitsCode.value_or(defaults.StopBitsCode);
    params.ParityCode = options.ParityCode.value_or(defaults.ParityCode);
    return params;
}

int RunOnPort(const HostOptions& options, const std::string& portName, const DriverDescription& description,
              const DriverLibrary& library, DriverChannel& channel, std::ostream& out, std::ostream& err) {
    OpenParams open{};
    portName.copy(open.PortName, sizeof open.PortName - 1);
    open.PortEnabled = 1;
    open.ReadTimeout = ReadTimeoutTenMs(options);
    open.SerialParams = LineSettings(options, description.DefaultSerialParams);

    const int messagesBefore = library.HostMessageCount();
    const ResultWords opened = WordsForResult(channel.Open(open));
    if (opened.Result != DYX_DONE) {
        err << "open " << portName << ": " << opened.Words << "\n";
        for (int i = messagesBefore; i < library.HostMessageCount(); ++i) {
            err << "driver reported: " << library.HostMessage(i) << "\n";
        }
        return opened.ExitStatus;
    }
    const ResultWords linked = WordsForResult(channel.OpenLink());
    int status = linked.ExitStatus;
    if (linked.Result != DYX_DONE) {
        err << "link handshake on " << portName << ": " << linked.Words << "\n";
    } else if (options.Command == HostCommand::Read) {
        status = ReadAddresses(options, channel, out);
    } else if (options.Command == HostCommand::Write) {
        status = WriteAddress(options, channel, out);
    } else {
        status = WatchAddresses(options, channel, out);
    }
    const ResultWords closed = WordsForResult(channel.Close());
    if (closed.Result != DYX_DONE) {
        err << "close " << portName << ": " << closed.Words << "\n";
    }
    return WorseExitStatus(status, closed.ExitStatus);
}

} // namespace

int RunHost(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    HostOptions options;
    std::string error;
    if (!ParseHostOptions(arguments, options, error)) {
        err << "dyx_host: " << error << "\nTry 'dyx_host --help'.\n";
        return kExitUsage;
    }
    if (options.ShowHelp) {
        out << HostUsage();
        return 0;
    }
    std::string portName;
    if (!options.Port.empty() && !PortNameFor(options.Port, portName, error)) {
        err << "dyx_host: " << error << "\n";
        return kExitUsage;
    }
    const std::string libraryPath = options.LibraryPath.empty() ? DefaultLibraryPath() : options.LibraryPath;
    DriverLibrary library;
    if (!library.Load(libraryPath, error)) {
        err << "dyx_host: cannot load the driver library " << libraryPath << ": " << error << "\n";
        return kExitLibraryUnavailable;
    }
    DriverChannel channel(library.Entry());
    DriverDescription description{};
    const ResultWords described = WordsForResult(channel.Describe(description));
    if (described.Result != DYX_DONE) {
        err << "describe: " << described.Words << "\n";
        return described.ExitStatus;
    }
    if (options.Command == HostCommand::Describe) {
        PrintDescription(description, out);
        return 0;
    }
    channel.AllocateState(description.StateSize);
    if (options.Command == HostCommand::Check) {
        return CheckAddresses(options, channel, out);
    }
    return RunOnPort(options, portName, description, library, channel, out, err);
}

} // namespace host
