// The simulated controller's memory: data words, relays, timers, counters, trimmers and status.
// Plain data read and written by the command interpreter and by the initial-value loader.
#ifndef KV_SIMULATOR_CONTROLLER_MEMORY_H
#define KV_SIMULATOR_CONTROLLER_MEMORY_H

#include <array>
#include <cstdint>

namespace simulator {

constexpr unsigned kDataMemoryWords = 10000;
constexpr unsigned kTemporaryMemoryWords = 100;
constexpr unsigned kRelayChannels = 1000;
constexpr unsigned kBitsPerRelayChannel = 16;
constexpr unsigned kTimers = 1000;
constexpr unsigned kCounters = 1000;
constexpr unsigned kHighSpeedCounters = 10;
constexpr unsigned kComparators = 10;
constexpr unsigned kTrimmers = 4;
constexpr unsigned kErrorCodeLimit = 9;
constexpr unsigned kModelCodeLimit = 99;

// A device with a contact, a current value and a preset: timers, counters, high-speed counters and
// their comparators all answer with these three.
struct ContactDevice {
    bool Contact = false;
    std::uint16_t Current = 0;
    std::uint16_t Preset = 0;
};

struct ControllerMemory {
    std::array<std::uint16_t, kDataMemoryWords> DataMemory{};
    std::array<std::uint16_t, kTemporaryMemoryWords> TemporaryMemory{};
    // A relay address is a channel (its first three digits) and a bit 00 to 15 (its last two).
    std::array<std::uint16_t, kRelayChannels> RelayChannels{};
    std::array<ContactDevice, kTimers> Timers{};
    std::array<ContactDevice, kCounters> Counters{};
    std::array<ContactDevice, kHighSpeedCounters> HighSpeedCounters{};
    std::array<ContactDevice, kComparators> Comparators{};
    std::array<std::uint16_t, kTrimmers> Trimmers{};
    std::uint8_t Mode = 0;
    std::uint8_t ErrorCode = 0;
    std::uint8_t ModelCode = 0;

    bool Relay(unsigned channel, unsigned bit) const;
    void SetRelay(unsigned channel, unsigned bit, bool on);
};

} // namespace simulator

#endif
