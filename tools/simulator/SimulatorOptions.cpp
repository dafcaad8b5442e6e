// Parses the simulator's command line: initial values, pacing, transcript and fault switches.
#include "SimulatorOptions.h"

#include "InitialValues.h"

namespace simulator {
namespace {

constexpr std::uint32_t kLargestBaud = 4000000;
constexpr std::uint32_t kLargestDelayMs = 600000;
constexpr std::uint32_t kLargestCount = 1000000000;

bool ParseCount(const std::string& text, std::uint32_t largest, std::uint32_t& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    unsigned long long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<unsigned long long>(c - '0');
    }
    if (number > largest) {
        return false;
    }
    value = static_cast<std::uint32_t>(number);
    return true;
}

constexpr const char* kValueOptions[] = {"--link",         "--log",        "--reply-delay", "--baud", "--piece-gap",
                                         "--faults-after", "--hang-up-at", "--set",         "--init"};

const FaultOption* FindFault(const std::string& name) {
    for (const FaultOption& fault : kFaultOptions) {
        if (name == fault.Name) {
            return &fault;
        }
    }
    return nullptr;
}

} // namespace

bool ParseSimulatorOptions(const std::vector<std::string>& arguments, SimulatorOptions& options, std::string& error) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.ShowHelp = true;
            continue;
        }
        const std::string always = "-always";
        if (option.size() > 2 + always.size() &&
            option.compare(option.size() - always.size(), always.size(), always) == 0) {
            if (const FaultOption* fault = FindFault(option.substr(2, option.size() - 2 - always.size()))) {
                options.Faults.Window(fault->Kind).Always = true;
                continue;
            }
        }
        if (option.rfind("--", 0) != 0) {
            error = "unexpected argument \"" + option + "\"";
            return false;
        }
        const FaultOption* fault = FindFault(option.substr(2));
        bool known = fault != nullptr;
        for (const char* name : kValueOptions) {
            known = known || option == name;
        }
        if (!known) {
            error = "unknown option " + option;
            return false;
        }
        if (i + 1 >= arguments.size()) {
            error = option + " needs a value";
            return false;
        }
        const std::string& value = arguments[++i];
        bool valid = true;
        if (fault != nullptr) {
            valid = ParseCount(value, kLargestCount, options.Faults.Window(fault->Kind).FirstCommands);
        } else if (option == "--link") {
            options.LinkPath = value;
            valid = !value.empty();
        } else if (option == "--log") {
            options.LogPath = value;
            valid = !value.empty();
        } else if (option == "--reply-delay") {
            valid = ParseCount(value, kLargestDelayMs, options.ReplyDelayMs);
        } else if (option == "--baud") {
            valid = ParseCount(value, kLargestBaud, options.Baud) && options.Baud > 0;
        } else if (option == "--piece-gap") {
            valid = ParseCount(value, kLargestDelayMs, options.Faults.PieceGapMs);
        } else if (option == "--faults-after") {
            valid = ParseCount(value, kLargestCount, options.Faults.FaultsAfter);
        } else if (option == "--hang-up-at") {
            valid = ParseCount(value, kLargestCount, options.Faults.HangUpAt) && options.Faults.HangUpAt > 0;
        } else if (option == "--set") {
            if (!ApplyAssignment(options.Memory, value, error)) {
                error = "--set " + error;
                return false;
            }
        } else if (option == "--init") {
            if (!ApplyAssignmentFile(options.Memory, value, error)) {
                error = "--init " + error;
                return false;
            }
        }
        if (!valid) {
            error = "bad value \"" + value + "\" for " + option;
            return false;
        }
    }
    return true;
}

std::string SimulatorUsage() {
    std::string usage = "Usage: kv_simulator [OPTION]...\n"
                        "Simulates a controller that speaks the ASCII line protocol on a pseudo-terminal.\n"
                        "Prints \"READY <device>\" once the device can be opened, then serves until SIGTERM, SIGINT\n"
                        "or SIGHUP (exit 0). Command lines end with CR; replies end with CR LF.\n"
                        "\n"
                        "Setup:\n"
                        "  --link PATH          also make a symbolic link PATH to the device (removed at exit)\n"
                        "  --set ITEM=VALUE     initial value; repeatable\n"
                        "  --init FILE          initial values, one ITEM=VALUE a line ('#' starts a comment line)\n";
    usage += kAssignmentHelp;
    usage += "  --reply-delay MS     wait MS milliseconds after a command before replying\n"
             "  --baud N             pace both directions at N baud, 11 bits a character: a command\n"
             "                       counts only after its line time, replies leave no faster\n"
             "  --log FILE           transcript of every line received and sent, bytes escaped, with times\n"
             "\n"
             "Faults. Commands are numbered from 1, counting every line received. Each fault below is\n"
             "given as --NAME N (the first N commands) or --NAME-always (every command):\n";
    for (const FaultOption& fault : kFaultOptions) {
        std::string name = "  --" + std::string(fault.Name);
        name.resize(23, ' ');
        usage += name + std::string(fault.Help) + "\n";
    }
    usage += "  --faults-after K     let commands 1 to K through untouched; fault counts start after them\n"
             "  --piece-gap MS       gap between bytes for slow-pieces (default 50)\n"
             "  --hang-up-at N       send half of the reply to command N, close the device's master side\n"
             "                       and exit 0\n"
             "  --help               show this text\n";
    return usage;
}

} // namespace simulator
