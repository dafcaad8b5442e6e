// Parses "ITEM=VALUE" assignments for the simulator's initial memory, from options or a file.
#include "InitialValues.h"

#include <fstream>

namespace simulator {

const char* const kAssignmentHelp =
    "  Items (case-insensitive): DMnnnn (0-9999), TMnn (0-99), a 5-digit relay such as 00105\n"
    "  (channel 000-999, bit 00-15; value 0 or 1), Tnnn and Cnnn (0-999), CTHn and CTCn (0-9),\n"
    "  each of those four with .current (the default), .preset or .contact (0 or 1),\n"
    "  ATn (trimmer 0-3), MODE (0 or 1), ERROR (0-9), MODEL (0-99). Values are decimal, 0-65535.\n";

namespace {

enum class Target {
    DataMemory,
    TemporaryMemory,
    Trimmer,
    Timer,
    Counter,
    HighSpeedCounter,
    Comparator,
    Relay,
    Mode,
    ErrorCode,
    ModelCode
};
enum class Field { Current, Preset, Contact };

struct ItemShape {
    std::string_view Prefix;
    unsigned MaxDigits;
    bool ExactDigits;
    unsigned Count;
    Target Item;
    bool HasFields;
    unsigned ValueLimit;
};

// Searched in order: "MODEL" before "MODE", and the counter prefixes before the plain "C".
constexpr ItemShape kItemShapes[] = {
    {"MODEL", 0, false, 1, Target::ModelCode, false, kModelCodeLimit},
    {"MODE", 0, false, 1, Target::Mode, false, 1},
    {"ERROR", 0, false, 1, Target::ErrorCode, false, kErrorCodeLimit},
    {"DM", 4, false, kDataMemoryWords, Target::DataMemory, false, 65535},
    {"TM", 2, false, kTemporaryMemoryWords, Target::TemporaryMemory, false, 65535},
    {"AT", 1, false, kTrimmers, Target::Trimmer, false, 65535},
    {"CTH", 1, false, kHighSpeedCounters, Target::HighSpeedCounter, true, 65535},
    {"CTC", 1, false, kComparators, Target::Comparator, true, 65535},
    {"T", 3, false, kTimers, Target::Timer, true, 65535},
    {"C", 3, false, kCounters, Target::Counter, true, 65535},
    {"", 5, true, kRelayChannels * 100, Target::Relay, false, 1},
};

struct FieldName {
    std::string_view Suffix;
    Field Which;
};

constexpr FieldName kFieldNames[] = {
    {".CURRENT", Field::Current},
    {".PRESET", Field::Preset},
    {".CONTACT", Field::Contact},
};

bool ParseNumber(std::string_view text, unsigned maxDigits, unsigned long& number) {
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    return true;
}

std::string UpperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

ContactDevice& ContactDeviceOf(ControllerMemory& memory, Target item, unsigned number) {
    switch (item) {
    case Target::Timer: return memory.Timers[number];
    case Target::Counter: return memory.Counters[number];
    case Target::HighSpeedCounter: return memory.HighSpeedCounters[number];
    default: return memory.Comparators[number];
    }
}

void Store(ControllerMemory& memory, Target item, Field field, unsigned number, unsigned value) {
    const auto word = static_cast<std::uint16_t>(value);
    switch (item) {
    case Target::DataMemory: memory.DataMemory[number] = word; return;
    case Target::TemporaryMemory: memory.TemporaryMemory[number] = word; return;
    case Target::Trimmer: memory.Trimmers[number] = word; return;
    case Target::Relay: memory.SetRelay(number / 100, number % 100, value != 0); return;
    case Target::Mode: memory.Mode = static_cast<std::uint8_t>(value); return;
    case Target::ErrorCode: memory.ErrorCode = static_cast<std::uint8_t>(value); return;
    case Target::ModelCode: memory.ModelCode = static_cast<std::uint8_t>(value); return;
    case Target::Timer:
    case Target::Counter:
    case Target::HighSpeedCounter:
    case Target::Comparator: break;
    }
    ContactDevice& device = ContactDeviceOf(memory, item, number);
    if (field == Field::Current) {
        device.Current = word;
    } else if (field == Field::Preset) {
        device.Preset = word;
    } else {
        device.Contact = value != 0;
    }
}

} // namespace

bool ApplyAssignment(ControllerMemory& memory, std::string_view assignment, std::string& error) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos) {
        error = "\"" + std::string(assignment) + "\" is not of the form ITEM=VALUE";
        return false;
    }
    std::string name = UpperCase(Trim(assignment.substr(0, equals)));
    const std::string_view valueText = Trim(assignment.substr(equals + 1));
    const std::string original(assignment);

    Field field = Field::Current;
    bool fieldGiven = false;
    for (const FieldName& fieldName : kFieldNames) {
        if (name.size() > fieldName.Suffix.size() &&
            std::string_view(name).substr(name.size() - fieldName.Suffix.size()) == fieldName.Suffix) {
            field = fieldName.Which;
            fieldGiven = true;
            name.resize(name.size() - fieldName.Suffix.size());
            break;
        }
    }

    for (const ItemShape& shape : kItemShapes) {
        if (std::string_view(name).substr(0, shape.Prefix.size()) != shape.Prefix) {
            continue;
        }
        const std::string_view digits = std::string_view(name).substr(shape.Prefix.size());
        unsigned long number = 0;
        if (shape.MaxDigits == 0) {
            if (!digits.empty()) {
                continue;
            }
        } else if (!ParseNumber(digits, shape.MaxDigits, number) ||
                   (shape.ExactDigits && digits.size() != shape.MaxDigits)) {
            continue;
        }
        if (fieldGiven && !shape.HasFields) {
            error = "\"" + original + "\": this item has no .current, .preset or .contact";
            return false;
        }
        if (number >= shape.Count || (shape.Item == Target::Relay && number % 100 >= kBitsPerRelayChannel)) {
            error = "\"" + original + "\": address out of range";
            return false;
        }
        const unsigned limit = field == Field::Contact ? 1 : shape.ValueLimit;
        unsigned long value = 0;
        if (!ParseNumber(valueText, 5, value) || value > limit) {
            error = "\"" + original + "\": the value must be a decimal number from 0 to " + std::to_string(limit);
            return false;
        }
        Store(memory, shape.Item, field, static_cast<unsigned>(number), static_cast<unsigned>(value));
        return true;
    }
    error = "\"" + original + "\": unknown item";
    return false;
}

bool ApplyAssignmentFile(ControllerMemory& memory, const std::string& path, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    unsigned lineNumber = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        const std::string_view content = Trim(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        if (!ApplyAssignment(memory, content, error)) {
            error = path + ":" + std::to_string(lineNumber) + ": " + error;
            return false;
        }
    }
    return true;
}

} // namespace simulator
