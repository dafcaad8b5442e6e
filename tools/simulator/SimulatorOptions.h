// Command-line options of the controller simulator and their parsing.
#ifndef KV_SIMULATOR_SIMULATOR_OPTIONS_H
#define KV_SIMULATOR_SIMULATOR_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "ControllerMemory.h"
#include "FaultPlan.h"

namespace simulator {

struct SimulatorOptions {
    std::string LinkPath; // empty: no symbolic link
    std::string LogPath;  // empty: no transcript
    std::uint32_t ReplyDelayMs = 0;
    std::uint32_t Baud = 0; // 0: bytes move as fast as the pseudo-terminal takes them
    FaultPlan Faults;
    ControllerMemory Memory; // the initial memory, with every --set and --init applied in order
    bool ShowHelp = false;
};

// Parses the arguments after the program name into `options`. Returns false with a message in
// `error` on an unknown option, a missing or malformed value, or a bad assignment.
bool ParseSimulatorOptions(const std::vector<std::string>& arguments, SimulatorOptions& options, std::string& error);

// The --help text.
std::string SimulatorUsage();

} // namespace simulator

#endif
