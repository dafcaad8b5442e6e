// Parses and executes the controller's ASCII commands. Operands must have exactly the digit count
// the controller expects, so a host that pads, trims or mangles an address gets an error reply.
#include "CommandInterpreter.h"

#include <cstdio>

namespace simulator {
namespace {

enum class DeviceFamily { DataMemory, TemporaryMemory, Relay, Timer, Counter, HighSpeedCounter, Comparator, Trimmers };
enum class Verb { Read, WriteCurrent, WritePreset, Set, Reset };

struct OperandShape {
    std::string_view Prefix;
    unsigned DigitCount;
    DeviceFamily Family;
};

// Searched in order: the three-letter counter prefixes must be tried before the plain "C".
constexpr OperandShape kOperandShapes[] = {
    {"DM", 4, DeviceFamily::DataMemory},
    {"TM", 2, DeviceFamily::TemporaryMemory},
    {"CTH", 1, DeviceFamily::HighSpeedCounter},
    {"CTC", 1, DeviceFamily::Comparator},
    {"T", 3, DeviceFamily::Timer},
    {"C", 3, DeviceFamily::Counter},
    {"AT", 0, DeviceFamily::Trimmers},
    {"", 5, DeviceFamily::Relay},
};

struct VerbShape {
    std::string_view Text;
    Verb Action;
    bool TakesValue;
};

constexpr VerbShape kVerbs[] = {
    {"RD", Verb::Read, false}, {"WR", Verb::WriteCurrent, true}, {"WS", Verb::WritePreset, true},
    {"ST", Verb::Set, false},  {"RS", Verb::Reset, false},
};

struct FamilyVerbs {
    DeviceFamily Family;
    bool Read;
    bool WriteCurrent;
    bool WritePreset;
    bool SetReset;
};

constexpr FamilyVerbs kFamilyVerbs[] = {
    {DeviceFamily::DataMemory, true, true, false, false}, {DeviceFamily::TemporaryMemory, true, true, false, false},
    {DeviceFamily::Relay, true, false, false, true},      {DeviceFamily::Timer, true, true, true, true},
    {DeviceFamily::Counter, true, true, true, true},      {DeviceFamily::HighSpeedCounter, true, true, true, true},
    {DeviceFamily::Comparator, true, true, true, true},   {DeviceFamily::Trimmers, true, false, false, false},
};

constexpr unsigned kValueDigits = 5;
constexpr unsigned kLargestValue = 65535;

struct Operand {
    DeviceFamily Family;
    unsigned Number;
};

std::string FiveDigits(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%05u", value);
    return text;
}

std::string ContactReply(const ContactDevice& device) {
    char text[32];
    std::snprintf(text, sizeof text, "%c,%05u,%05u", device.Contact ? '1' : '0', static_cast<unsigned>(device.Current),
                  static_cast<unsigned>(device.Preset));
    return text;
}

bool ParseDigits(std::string_view text, unsigned digitCount, unsigned& number) {
    if (text.size() != digitCount) {
        return false;
    }
    number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

bool ParseOperand(std::string_view text, Operand& operand) {
    for (const OperandShape& shape : kOperandShapes) {
        if (text.substr(0, shape.Prefix.size()) != shape.Prefix) {
            continue;
        }
        unsigned number = 0;
        if (ParseDigits(text.substr(shape.Prefix.size()), shape.DigitCount, number)) {
            operand = Operand{shape.Family, number};
            return true;
        }
    }
    return false;
}

bool FamilyAccepts(DeviceFamily family, Verb verb) {
    for (const FamilyVerbs& row : kFamilyVerbs) {
        if (row.Family != family) {
            continue;
        }
        switch (verb) {
        case Verb::Read: return row.Read;
        case Verb::WriteCurrent: return row.WriteCurrent;
        case Verb::WritePreset: return row.WritePreset;
        case Verb::Set:
        case Verb::Reset: return row.SetReset;
        }
    }
    return false;
}

ContactDevice* FindContactDevice(ControllerMemory& memory, const Operand& operand) {
    switch (operand.Family) {
    case DeviceFamily::Timer: return &memory.Timers[operand.Number];
    case DeviceFamily::Counter: return &memory.Counters[operand.Number];
    case DeviceFamily::HighSpeedCounter: return &memory.HighSpeedCounters[operand.Number];
    case DeviceFamily::Comparator: return &memory.Comparators[operand.Number];
    default: return nullptr;
    }
}

std::string TrimmerReply(const ControllerMemory& memory) {
    std::string reply;
    for (unsigned i = 0; i < kTrimmers; ++i) {
        if (i != 0) {
            reply += ',';
        }
        reply += FiveDigits(memory.Trimmers[i]);
    }
    return reply;
}

std::string Execute(ControllerMemory& memory, Verb verb, const Operand& operand, unsigned value) {
    const auto word = static_cast<std::uint16_t>(value);
    if (ContactDevice* device = FindContactDevice(memory, operand)) {
        switch (verb) {
        case Verb::Read: return ContactReply(*device);
        case Verb::WriteCurrent: device->Current = word; break;
        case Verb::WritePreset: device->Preset = word; break;
        case Verb::Set: device->Contact = true; break;
        case Verb::Reset: device->Contact = false; break;
        }
        return std::string(kReplyOk);
    }
    switch (operand.Family) {
    case DeviceFamily::DataMemory:
        if (verb == Verb::Read) {
            return FiveDigits(memory.DataMemory[operand.Number]);
        }
        memory.DataMemory[operand.Number] = word;
        return std::string(kReplyOk);
    case DeviceFamily::TemporaryMemory:
        if (verb == Verb::Read) {
            return FiveDigits(memory.TemporaryMemory[operand.Number]);
        }
        memory.TemporaryMemory[operand.Number] = word;
        return std::string(kReplyOk);
    case DeviceFamily::Relay: {
        const unsigned channel = operand.Number / 100;
        const unsigned bit = operand.Number % 100;
        if (verb == Verb::Read) {
            return memory.Relay(channel, bit) ? "1" : "0";
        }
        memory.SetRelay(channel, bit, verb == Verb::Set);
        return std::string(kReplyOk);
    }
    case DeviceFamily::Trimmers: return TrimmerReply(memory);
    default: return std::string(kReplyCommandError);
    }
}

struct FixedCommand {
    std::string_view Text;
    std::string (*Answer)(ControllerMemory&);
};

const FixedCommand kFixedCommands[] = {
    {"CR", [](ControllerMemory&) { return std::string("CC"); }},
    {"?M", [](ControllerMemory& m) { return std::string(m.Mode != 0 ? "1" : "0"); }},
    {"M0",
     [](ControllerMemory& m) {
         m.Mode = 0;
         return std::string(kReplyOk);
     }},
    {"M1",
     [](ControllerMemory& m) {
         m.Mode = 1;
         return std::string(kReplyOk);
     }},
    {"?E", [](ControllerMemory& m) { return "0" + std::to_string(m.ErrorCode); }},
    {"ER",
     [](ControllerMemory& m) {
         m.ErrorCode = 0;
         return std::string(kReplyOk);
     }},
    {"?K",
     [](ControllerMemory& m) {
         char text[8];
         std::snprintf(text, sizeof text, "00%02u", static_cast<unsigned>(m.ModelCode));
         return std::string(text);
     }},
};

const VerbShape* FindVerb(std::string_view text) {
    for (const VerbShape& verb : kVerbs) {
        if (verb.Text == text) {
            return &verb;
        }
    }
    return nullptr;
}

} // namespace

std::string AnswerCommand(ControllerMemory& memory, std::string_view command) {
    for (const FixedCommand& fixed : kFixedCommands) {
        if (command == fixed.Text) {
            return fixed.Answer(memory);
        }
    }
    if (command.size() < 4 || command[2] != ' ') {
        return std::string(kReplyCommandError);
    }
    const VerbShape* verb = FindVerb(command.substr(0, 2));
    if (verb == nullptr) {
        return std::string(kReplyCommandError);
    }
    std::string_view operandText = command.substr(3);
    std::string_view valueText;
    if (verb->TakesValue) {
        const std::size_t space = operandText.find(' ');
        if (space == std::string_view::npos) {
            return std::string(kReplyCommandError);
        }
        valueText = operandText.substr(space + 1);
        operandText = operandText.substr(0, space);
    }
    Operand operand{};
    if (!ParseOperand(operandText, operand) || !FamilyAccepts(operand.Family, verb->Action)) {
        return std::string(kReplyCommandError);
    }
    unsigned value = 0;
    if (verb->TakesValue && !ParseDigits(valueText, kValueDigits, value)) {
        return std::string(kReplyCommandError);
    }
    if (value > kLargestValue) {
        return std::string(kReplyRangeError);
    }
    if (operand.Family == DeviceFamily::Relay && operand.Number % 100 >= kBitsPerRelayChannel) {
        return std::string(kReplyRangeError);
    }
    return Execute(memory, verb->Action, operand, value);
}

} // namespace simulator
