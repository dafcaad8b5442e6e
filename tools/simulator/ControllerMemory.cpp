// Bit access to the simulated controller's relay channels.
#include "ControllerMemory.h"

namespace simulator {

bool ControllerMemory::Relay(unsigned channel, unsigned bit) const {
    return ((RelayChannels[channel] >> bit) & 1U) != 0;
}

void ControllerMemory::SetRelay(unsigned channel, unsigned bit, bool on) {
    const auto mask = static_cast<std::uint16_t>(1U << bit);
    if (on) {
        RelayChannels[channel] = static_cast<std::uint16_t>(RelayChannels[channel] | mask);
    } else {
        RelayChannels[channel] = static_cast<std::uint16_t>(RelayChannels[channel] & ~mask);
    }
}

} // namespace simulator
