// Loads initial values into the simulated controller's memory from "ITEM=VALUE" assignments,
// given on the command line (--set) or one per line in a file (--init).
#ifndef KV_SIMULATOR_INITIAL_VALUES_H
#define KV_SIMULATOR_INITIAL_VALUES_H

#include <string>
#include <string_view>

#include "ControllerMemory.h"

namespace simulator {

// Applies one assignment such as "DM0001=42", "TM12=7", "00105=1", "T005.preset=100", "C012=5"
// (current value), "CTC3.contact=1", "AT2=300", "MODE=1", "ERROR=3" or "MODEL=50". Item names are
// case-insensitive. Returns false with a reason in `error` and changes nothing when the item is
// unknown, its number is out of range, or the value does not fit the item.
bool ApplyAssignment(ControllerMemory& memory, std::string_view assignment, std::string& error);

// Applies every assignment in the file at `path`, one per line; blank lines and lines whose first
// non-blank character is '#' are skipped. Stops at the first bad line and names it in `error`.
bool ApplyAssignmentFile(ControllerMemory& memory, const std::string& path, std::string& error);

// The help text describing the item names, for --help.
extern const char* const kAssignmentHelp;

} // namespace simulator

#endif
