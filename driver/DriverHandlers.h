// Driver layer: the handlers that the function table holds beside the protocol's, and what the
// description reports. Private to the driver layer (and its tests).
#ifndef DYX_DRIVER_HANDLERS_H
#define DYX_DRIVER_HANDLERS_H

#include <cstddef>
#include <cstdint>

#include "DyxDriver.h"
#include "SerialPort.h"

namespace driver {

constexpr char kDriverName[] = "KEYENCE KV Series";
constexpr std::size_t kBannerLength = 379;
// The record size hosts allocate; a 64-bit build whose record is larger reports its own size.
constexpr std::uint32_t kStateSize = sizeof(ChannelState) <= 564 ? 564 : sizeof(ChannelState);
// OpenFlags that code 1 stores: neither DTR nor RTS control, so both lines are held off.
constexpr std::uint16_t kDriverOpenFlags = 8;
// Read time-out used when code 1 is given 0, which would otherwise let a read wait for ever.
constexpr std::uint32_t kDefaultReadTimeoutTenMs = 100;
// Longest read time-out whose milliseconds stay a positive 32-bit number, as the serial layer reports
// the time-out in force as a signed value (a purge restores what it reports).
constexpr std::uint32_t kLongestReadTimeoutTenMs = 0x7FFFFFFFu / 10;

// The banner, 379 characters of code page 437 and a NUL.
const char* BannerText();

// Codes 4, 6 and 10, and every code without an operation: reads nothing, answers DYX_REFUSED.
std::uint32_t RefuseRequest(const DriverRequest* request);

// Code 14: fills every field of the DriverDescription in Params; State is not read. Always 0.
std::uint32_t DescribeDriver(const DriverRequest* request);

// Code 1 (OpenParams). A PortName without a NUL in its 12 bytes: 2, nothing touched. Otherwise
// records PortEnabled and clears LinkUp; with PortEnabled 0 that is all (0). Then opens the port with
// the block's line settings and OpenFlags 8: on failure reports "DYX%s : Fail to open %s" once
// through the host's err and answers 2, keeping PortHandle, PortSettings and ReadTimeout. On success
// stores the handle (closing a different port the channel still held), sets the read time-out (0
// means 100, i.e. 1 s per read call), stores the settings and the time-out, answers 0.
std::uint32_t OpenChannel(const DriverRequest* request);

// Codes 11 and 12: closes the channel's port. 0 when no port is open any more; 2 when the platform
// refused, PortHandle kept. Nothing else changes.
std::uint32_t CloseChannel(const DriverRequest* request);

// Code 13: opens the stored PortSettings again (with the 1 s read time-out of a fresh open). 0 with
// PortEnabled 1 and the new handle stored; 2 with nothing changed. LinkUp is kept.
std::uint32_t ReopenChannel(const DriverRequest* request);

// Code 15 (ReconfigureParams). A PortName without a NUL in its 12 bytes: 2, nothing touched.
// Otherwise stores a nonzero ReadTimeout, closes the open port when the name differs (case-sensitive;
// a refused close is ignored), stores the new name and line settings, and opens them: 0 with the
// handle stored, 2 otherwise. PortEnabled, LinkUp and OpenFlags are kept.
std::uint32_t ReconfigureChannel(const DriverRequest* request);

// Opens settings' port with its line settings and OpenFlags: the handle, or null when it did not
// open (or the name has no NUL in its 12 bytes).
serial::Handle OpenPortFromSettings(const PortSettings& settings);

} // namespace driver

#endif
