// The simulator's serving loop: reads command lines from the pseudo-terminal, answers them from the
// controller memory, and applies line pacing, reply delay and the chosen faults.
#ifndef KV_SIMULATOR_LINE_SERVER_H
#define KV_SIMULATOR_LINE_SERVER_H

#include <cstdint>

#include "ControllerMemory.h"
#include "FaultPlan.h"
#include "PseudoTerminal.h"
#include "Transcript.h"

namespace simulator {

struct ServeSettings {
    FaultPlan Faults;
    std::uint32_t ReplyDelayMs = 0;
    std::uint32_t Baud = 0; // 0: no pacing
};

enum class ServeEnd {
    Stopped, // a byte arrived on the stop descriptor
    HungUp,  // the hang-up fault closed the master
    Failed,  // the pseudo-terminal failed
};

// Serves until a byte can be read from `stopFd` (the signal handler's pipe), the hang-up fault
// fires, or the master fails. Blocks in poll while idle; never spins.
ServeEnd ServeLine(PseudoTerminal& terminal, ControllerMemory& memory, const ServeSettings& settings,
                   Transcript& transcript, int stopFd);

} // namespace simulator

#endif
