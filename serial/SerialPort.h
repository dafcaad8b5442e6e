// Serial port layer: opens, configures, times, purges, writes, reads and closes a port through the
// Win32 communications calls. Works on a bare handle that the caller keeps; knows nothing of channels.
#ifndef DYX_SERIAL_PORT_H
#define DYX_SERIAL_PORT_H

#include <cstdint>

#include "DyxDriver.h"

namespace serial {

// The platform's port handle (a Win32 HANDLE). Callers use null for "no port open".
using Handle = void*;

// Results of this layer. They never reach the host: the callers fold them into their own.
enum SerialResult : std::uint32_t {
    kSerialOk = 0,
    kOpenFailed = 1,         // the device did not open, or its time-outs were refused
    kShortWrite = 2,         // the write completed with fewer bytes than asked
    kSettingsUnreadable = 4, // the port's current settings could not be read
    kSettingsRefused = 5,    // the new line settings were refused
    kIoFailed = 7,           // close, write or read failed, or a read brought no byte in time
};

// Read time-out that every open sets, per read call.
constexpr std::uint32_t kOpenReadTimeoutMs = 1000;
// Driver and device queue sizes requested at open.
constexpr std::uint32_t kQueueBytes = 1200;

// Opens portName for exclusive synchronous use and configures it: the line settings of params, DTR
// and RTS control from openFlags (DTR on: 0x0001 or 0x0100, else handshake: 0x8000, else off; RTS on:
// 0x0002 or 0x0200, else handshake: 0x1000, else toggle: 0x2000, else off), a total read time-out of
// 1000 ms, no write time-out, 1200-byte queues. The name "NUL" (exactly) opens without any
// configuration. Returns kSerialOk with the handle in *handle, or kOpenFailed, kSettingsUnreadable or
// kSettingsRefused with nothing left open (*handle then holds INVALID_HANDLE_VALUE's value).
std::uint32_t OpenPort(const char* portName, const SerialParams& params, std::uint16_t openFlags, Handle* handle);

// Closes the handle: kSerialOk, or kIoFailed when the platform refuses (the handle is then still open).
std::uint32_t ClosePort(Handle handle);

// Sets the total read time-out to timeoutTenMs x 10 ms (no platform write when it is already in
// force) and returns the previous one in 10 ms units, truncated; 0 on failure.
std::int32_t SetReadTimeout(Handle handle, std::int32_t timeoutTenMs);

// Discards waiting input: when bytes are waiting (or the status query fails), reads and drops them in
// 512-byte chunks with a 50 ms time-out until a read comes back short, then restores the previous
// time-out (unless it was below 10 ms). Returns 0, or 1 when the last read call failed.
std::uint32_t PurgeInput(Handle handle);

// Writes count bytes in one call. Returns kSerialOk, kShortWrite (with *written set) or kIoFailed
// (*written untouched). written may be null.
std::uint32_t WritePort(Handle handle, const void* bytes, std::uint32_t count, std::uint32_t* written);

// Reads exactly count bytes into buffer, calling the platform until all have arrived. Returns
// kSerialOk, or kIoFailed when a read call fails or brings no byte within the read time-out; the bytes
// received so far stay in buffer and *received counts them. received may be null.
std::uint32_t ReadPort(Handle handle, void* buffer, std::uint16_t count, std::uint16_t* received);

// Holds a break on the line for durationMs. Returns 0.
std::uint32_t SendBreak(std::uint32_t durationMs, Handle handle);

// Waits durationMs. Returns 0.
std::uint32_t Delay(std::uint32_t durationMs);

} // namespace serial

#endif
