// Names of the serial line settings that dyx_host accepts and prints: parity and stop bits.
#ifndef DYX_HOST_LINE_SETTING_NAMES_H
#define DYX_HOST_LINE_SETTING_NAMES_H

#include <array>
#include <cstdint>
#include <string_view>

namespace host {

struct SettingName {
    std::uint16_t Code; // the driver's SerialParams code
    std::string_view Name;
};

// ParityCode: 0 none, 1 odd, 2 even, 3 mark, 4 space.
extern const std::array<SettingName, 5> kParityNames;
// StopBitsCode: 0 one, 1 one and a half, 2 two.
extern const std::array<SettingName, 3> kStopBitsNames;

// Finds `name` in a table; false when it is not there.
template <std::size_t N>
bool CodeForName(const std::array<SettingName, N>& table, std::string_view name, std::uint16_t& code) {
    for (const SettingName& row : table) {
        if (row.Name == name) {
            code = row.Code;
            return true;
        }
    }
    return false;
}

// The name of `code` in a table, or "?" for a code it does not have.
template <std::size_t N> std::string_view NameForCode(const std::array<SettingName, N>& table, std::uint16_t code) {
    for (const SettingName& row : table) {
        if (row.Code == code) {
            return row.Name;
        }
    }
    return "?";
}

} // namespace host

#endif
