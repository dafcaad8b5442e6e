// One channel of the driver as dyx_host uses it: the ChannelState the host owns and the calls
// through DyxMain with the records of DyxDriver.h.
#ifndef DYX_HOST_DRIVER_CHANNEL_H
#define DYX_HOST_DRIVER_CHANNEL_H

#include <cstdint>
#include <memory>
#include <string>

#include "DriverLibrary.h"
#include "DyxDriver.h"

namespace host {

class DriverChannel {
public:
    explicit DriverChannel(DyxEntry entry) : Entry(entry) {}

    // Code 14, with no ChannelState. Fills `description`.
    std::uint32_t Describe(DriverDescription& description) const;

    // Allocates the channel's state with the size code 14 reported, zero-filled, as the driver
    // expects of a fresh channel. Must come before every call below.
    void AllocateState(std::uint32_t stateSize);

    std::uint32_t Open(const OpenParams& params);                                                 // code 1
    std::uint32_t OpenLink();                                                                     // code 2
    std::uint32_t ValidateAddress(const std::string& address, std::uint32_t dataType);            // code 3
    std::uint32_t Read(const std::string& address, std::uint32_t dataType, std::uint16_t& value); // code 5
    std::uint32_t Write(const std::string& address, std::uint32_t dataType, std::uint16_t value); // code 7
    std::uint32_t Close();                                                                        // code 11

private:
    std::uint32_t Call(std::uint32_t functionCode, void* params);

    DyxEntry Entry;
    std::unique_ptr<unsigned char[]> State;
};

} // namespace host

#endif
