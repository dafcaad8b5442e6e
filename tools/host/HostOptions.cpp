// Parses dyx_host's command line.
#include "HostOptions.h"

#include <limits>

#include "LineSettingNames.h"

namespace host {
namespace {

constexpr std::size_t kPortNameCapacity = 11;
constexpr std::string_view kDevicePrefix = "/dev/";
constexpr std::uint32_t kWordType = 0;
constexpr std::uint32_t kBitType = 6;
constexpr std::size_t kBitAddressLength = 8;
constexpr std::uint16_t kFewestDataBits = 5;
constexpr std::uint16_t kMostDataBits = 8;

struct CommandShape {
    std::string_view Name;
    HostCommand Command;
    std::size_t FewestArguments;
    std::size_t MostArguments;
    bool NeedsPort;
};

constexpr std::size_t kAnyNumber = std::numeric_limits<std::size_t>::max();

constexpr CommandShape kCommands[] = {
    {"describe", HostCommand::Describe, 0, 0, false},   {"check", HostCommand::Check, 1, kAnyNumber, false},
    {"read", HostCommand::Read, 1, kAnyNumber, true},   {"write", HostCommand::Write, 2, 2, true},
    {"watch", HostCommand::Watch, 1, kAnyNumber, true},
};

bool ParseNumber(const std::string& text, std::uint64_t largest, std::uint64_t& value) {
    std::uint64_t base = 10;
    std::string_view digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (digits.empty() || digits.size() > 16) {
        return false;
    }
    value = 0;
    for (char c : digits) {
        std::uint64_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint64_t>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint64_t>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint64_t>(c - 'A' + 10);
        } else {
            return false;
        }
        value = value * base + digit;
    }
    return value <= largest;
}

template <typename Number>
bool ParseInto(const std::string& text, std::uint64_t smallest, std::uint64_t largest, Number& target) {
    std::uint64_t value = 0;
    if (!ParseNumber(text, largest, value) || value < smallest) {
        return false;
    }
    target = static_cast<Number>(value);
    return true;
}

template <typename Number>
bool ParseInto(const std::string& text, std::uint64_t smallest, std::uint64_t largest, std::optional<Number>& target) {
    Number value{};
    if (!ParseInto(text, smallest, largest, value)) {
        return false;
    }
    target = value;
    return true;
}

bool ParseDataType(const std::string& text, std::optional<std::uint32_t>& dataType) {
    if (text == "word") {
        dataType = kWordType;
        return true;
    }
    if (text == "bit") {
        dataType = kBitType;
        return true;
    }
    return ParseInto(text, 0, std::numeric_limits<std::uint32_t>::max(), dataType);
}

// Applies one option that takes a value; an empty result means it was accepted.
std::string ApplyOption(const std::string& option, const std::string& value, HostOptions& options) {
    std::uint16_t code = 0;
    if (option == "--library") {
        options.LibraryPath = value;
    } else if (option == "--port") {
        options.Port = value;
    } else if (option == "--baud") {
        if (!ParseInto(value, 1, 65535, options.Baud)) {
            return "--baud takes a rate from 1 to 65535 (the driver's line settings hold 16 bits)";
        }
    } else if (option == "--data-bits") {
        if (!ParseInto(value, kFewestDataBits, kMostDataBits, options.DataBits)) {
            return "--data-bits takes 5, 6, 7 or 8";
        }
    } else if (option == "--parity") {
        if (!CodeForName(kParityNames, value, code)) {
            return "--parity takes none, odd, even, mark or space";
        }
        options.ParityCode = code;
    } else if (option == "--stop-bits") {
        if (!CodeForName(kStopBitsNames, value, code)) {
            return "--stop-bits takes 1, 1.5 or 2";
        }
        options.StopBitsCode = code;
    } else if (option == "--timeout") {
        if (!ParseInto(value, 0, 600000, options.TimeoutMs)) {
            return "--timeout takes milliseconds from 0 to 600000";
        }
    } else if (option == "--type") {
        if (!ParseDataType(value, options.DataType)) {
            return "--type takes word, bit or a data type number";
        }
    } else if (option == "--interval") {
        if (!ParseInto(value, 1, 86400000, options.IntervalMs)) {
            return "--interval takes milliseconds from 1 to 86400000";
        }
    } else if (option == "--count") {
        if (!ParseInto(value, 1, std::numeric_limits<std::uint32_t>::max(), options.Count)) {
            return "--count takes a number of polls, at least 1";
        }
    } else {
        return "unknown option " + option;
    }
    return {};
}

} // namespace

bool ParseHostOptions(const std::vector<std::string>& arguments, HostOptions& options, std::string& error) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.ShowHelp = true;
            return true;
        }
        if (argument.rfind("--", 0) != 0) {
            positional.push_back(argument);
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = argument + " needs a value";
            return false;
        }
        error = ApplyOption(argument, arguments[++i], options);
        if (!error.empty()) {
            return false;
        }
    }
    if (positional.empty()) {
        error = "no command given (describe, check, read, write or watch)";
        return false;
    }
    const CommandShape* shape = nullptr;
    for (const CommandShape& candidate : kCommands) {
        if (candidate.Name == positional.front()) {
            shape = &candidate;
        }
    }
    if (shape == nullptr) {
        error = "unknown command \"" + positional.front() + "\"";
        return false;
    }
    options.Command = shape->Command;
    const std::size_t argumentCount = positional.size() - 1;
    if (argumentCount < shape->FewestArguments || argumentCount > shape->MostArguments) {
        error = "wrong number of arguments for " + std::string(shape->Name);
        return false;
    }
    if (shape->NeedsPort && options.Port.empty()) {
        error = std::string(shape->Name) + " needs --port";
        return false;
    }
    if (shape->Command == HostCommand::Write) {
        if (!ParseInto(positional[2], 0, 65535, options.Value)) {
            error = "the value to write must be a number from 0 to 65535";
            return false;
        }
        positional.pop_back();
    }
    options.Addresses.assign(positional.begin() + 1, positional.end());
    return true;
}

std::uint32_t DataTypeFor(const HostOptions& options, const std::string& address) {
    if (options.DataType) {
        return *options.DataType;
    }
    return address.size() == kBitAddressLength ? kBitType : kWordType;
}

bool PortNameFor(const std::string& port, std::string& portName, std::string& error) {
    if (port.size() <= kPortNameCapacity) {
        portName = port;
        return true;
    }
    if (port.rfind(kDevicePrefix, 0) == 0) {
        const std::string shorter = port.substr(kDevicePrefix.size());
        if (shorter.size() <= kPortNameCapacity && shorter.front() != '/') {
            portName = shorter;
            return true;
        }
    }
    error = "the port name \"" + port + "\" has " + std::to_string(port.size()) +
            " characters, but the driver takes at most 11; name a device under /dev without the /dev/ "
            "(such as pts/5 or ttyUSB0), or make a shorter symbolic link";
    return false;
}

std::uint32_t ReadTimeoutTenMs(const HostOptions& options) {
    if (!options.TimeoutMs) {
        return 0;
    }
    return (*options.TimeoutMs + 9) / 10;
}

std::string HostUsage() {
    return "Usage: dyx_host COMMAND [ARGUMENT]... [OPTION]...\n"
           "Loads the KV serial driver library and calls its entry point DyxMain, as a host runtime does.\n"
           "\n"
           "Commands:\n"
           "  describe                   show the driver's name, banner, state size and default line settings\n"
           "  check ADDRESS...           check addresses against a data type (needs no port)\n"
           "  read ADDRESS...            read items from the controller and print their values\n"
           "  write ADDRESS VALUE        write VALUE (0-65535) to one item; for a bit, 1 sets it and\n"
           "                             any other value resets it\n"
           "  watch ADDRESS...           poll items every --interval and print each change, until\n"
           "                             SIGINT or SIGTERM or --count polls\n"
           "read, write and watch open the channel (PortEnabled 1), do the link handshake, make their\n"
           "transactions and close the channel again.\n"
           "\n"
           "Addresses are those of the driver, such as DM$1234 (data memory word), TM$0012, RD$00105\n"
           "(relay bit), RTR0005 / RTP0005 (timer current / preset), RCR0012 / RCP0012 (counter),\n"
           "RHR0001, RC10003, AT00000, ER$0000, RK$0000, M$$00000 (the operating mode, a bit).\n"
           "Quote them in the shell: '$' is special there.\n"
           "\n"
           "Options:\n"
           "  --type word|bit|N          data type of every address: word (0), bit (6) or a number\n"
           "                             (decimal or 0x hex); by default an 8-character address is a\n"
           "                             bit and any other a word\n"
           "  --port NAME                serial device: a path such as /dev/ttyS0, or a name that the\n"
           "                             driver looks up under /dev; at most 11 characters (a longer\n"
           "                             /dev/NAME is passed as NAME)\n"
           "  --baud N                   line speed, 1-65535 (default: the driver's, 9600)\n"
           "  --data-bits 5|6|7|8        data bits (default: the driver's, 8)\n"
           "  --parity none|odd|even|mark|space   parity (default: the driver's, even); use none on a\n"
           "                             pseudo-terminal\n"
           "  --stop-bits 1|1.5|2        stop bits (default: the driver's, 1)\n"
           "  --timeout MS               read time-out per byte, in milliseconds, rounded up to 10 ms\n"
           "                             (default and 0: the driver's own, 1 s)\n"
           "  --interval MS              watch: time between polls (default 1000)\n"
           "  --count N                  watch: stop after N polls\n"
           "  --library PATH             the driver library to load (default: the one built with\n"
           "                             this program, else DYXWNKV.so beside it)\n"
           "  --help                     show this text\n"
           "\n"
           "Exit status:\n"
           "  0   done\n"
           "  1   refused: the address, data type or reply was not accepted\n"
           "  2   communication failed: no answer from the controller, or the port did not open\n"
           "  64  usage error\n"
           "  69  the driver library could not be loaded\n"
           "  70  the driver returned a result it does not define\n"
           "With several addresses the most serious outcome decides; watch exits with that of its last poll.\n";
}

} // namespace host
