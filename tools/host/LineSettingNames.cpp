// Tables of parity and stop-bit names for dyx_host.
#include "LineSettingNames.h"

namespace host {

const std::array<SettingName, 5> kParityNames = {{
    {0, "none"},
    {1, "odd"},
    {2, "even"},
    {3, "mark"},
    {4, "space"},
}};

const std::array<SettingName, 3> kStopBitsNames = {{
    {0, "1"},
    {1, "1.5"},
    {2, "2"},
}};

} // namespace host
