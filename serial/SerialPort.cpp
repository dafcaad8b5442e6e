// Serial port layer over the Win32 communications calls; the build chooses what implements them.
#include "SerialPort.h"

#include <cstring>

#include "Win32Comm.h"

namespace serial {
namespace {

constexpr char kNullDeviceName[] = "NUL";
constexpr char kUnusedErrorChar = static_cast<char>(0xFC);
constexpr std::int32_t kPurgeTimeoutTenMs = 5;
constexpr DWORD kPurgeChunkBytes = 512;
constexpr std::int64_t kMsPerTimeoutUnit = 10;

static_assert(sizeof(DCB) == 28, "DCBlength must be 28");

DWORD DtrControlFor(std::uint16_t openFlags) {
    if (openFlags & 0x0101) return DTR_CONTROL_ENABLE;
    if (openFlags & 0x8000) return DTR_CONTROL_HANDSHAKE;
    return DTR_CONTROL_DISABLE;
}

DWORD RtsControlFor(std::uint16_t openFlags) {
    if (openFlags & 0x0202) return RTS_CONTROL_ENABLE;
    if (openFlags & 0x1000) return RTS_CONTROL_HANDSHAKE;
    if (openFlags & 0x2000) return RTS_CONTROL_TOGGLE;
    return RTS_CONTROL_DISABLE;
}

// Closes a handle that failed its configuration; the caller sees no usable handle afterwards.
std::uint32_t AbandonOpen(HANDLE port, Handle* handle, std::uint32_t result) {
    CloseHandle(port);
    *handle = INVALID_HANDLE_VALUE;
    return result;
}

} // namespace

std::uint32_t OpenPort(const char* portName, const SerialParams& params, std::uint16_t openFlags, Handle* handle) {
    HANDLE port =
        CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    *handle = port;
    if (port == INVALID_HANDLE_VALUE) return kOpenFailed;
    if (std::strcmp(portName, kNullDeviceName) == 0) return kSerialOk;

    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(port, &dcb)) return AbandonOpen(port, handle, kSettingsUnreadable);

    COMMTIMEOUTS timeouts = {0, 0, kOpenReadTimeoutMs, 0, 0};
    if (!SetCommTimeouts(port, &timeouts)) return AbandonOpen(port, handle, kOpenFailed);

    dcb.BaudRate = params.Baud;
    dcb.ByteSize = static_cast<BYTE>(params.DataBits);
    dcb.StopBits = static_cast<BYTE>(params.StopBitsCode);
    dcb.Parity = static_cast<BYTE>(params.ParityCode);
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DtrControlFor(openFlags);
    dcb.fDsrSensitivity = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RtsControlFor(openFlags);
    dcb.fAbortOnError = 0;
    dcb.ErrorChar = kUnusedErrorChar;
    if (!SetCommState(port, &dcb)) return AbandonOpen(port, handle, kSettingsRefused);

    SetupComm(port, kQueueBytes, kQueueBytes);
    return kSerialOk;
}

std::uint32_t ClosePort(Handle handle) {
    return CloseHandle(handle) ? kSerialOk : kIoFailed;
}

std::int32_t SetReadTimeout(Handle handle, std::int32_t timeoutTenMs) {
    COMMTIMEOUTS timeouts;
    if (!GetCommTimeouts(handle, &timeouts)) return 0;
    const DWORD previousMs = timeouts.ReadTotalTimeoutConstant;
    const DWORD wantedMs = static_cast<DWORD>(timeoutTenMs * kMsPerTimeoutUnit);
    if (wantedMs != previousMs) {
        timeouts.ReadTotalTimeoutConstant = wantedMs;
        if (!SetCommTimeouts(handle, &timeouts)) return 0;
    }
    return static_cast<std::int32_t>(previousMs) / static_cast<std::int32_t>(kMsPerTimeoutUnit);
}

std::uint32_t PurgeInput(Handle handle) {
    DWORD errors = 0;
    COMSTAT status;
    std::memset(&status, 0, sizeof status);
    if (ClearCommError(handle, &errors, &status) && status.cbInQue == 0) return 0;

    // A short read time-out lets the drain end as soon as the line goes quiet, so a reply that
    // straggles in just behind the waiting bytes is thrown away with them.
    const std::int32_t savedTenMs = SetReadTimeout(handle, kPurgeTimeoutTenMs);
    char scratch[kPurgeChunkBytes];
    BOOL readOk;
    DWORD received;
    do {
        received = 0;
        readOk = ReadFile(handle, scratch, kPurgeChunkBytes, &received, nullptr);
    } while (readOk && received == kPurgeChunkBytes);
    if (savedTenMs != 0) SetReadTimeout(handle, savedTenMs);
    return readOk ? 0 : 1;
}

std::uint32_t WritePort(Handle handle, const void* bytes, std::uint32_t count, std::uint32_t* written) {
    DWORD writtenNow = 0;
    if (!WriteFile(handle, bytes, count, &writtenNow, nullptr)) return kIoFailed;
    if (written != nullptr) *written = writtenNow;
    return writtenNow == count ? kSerialOk : kShortWrite;
}

std::uint32_t ReadPort(Handle handle, void* buffer, std::uint16_t count, std::uint16_t* received) {
    auto* bytes = static_cast<char*>(buffer);
    if (received != nullptr) *received = 0;
    std::uint16_t total = 0;
    do {
        DWORD receivedNow = 0;
        const DWORD wanted = static_cast<std::uint16_t>(count - total);
        if (!ReadFile(handle, bytes + total, wanted, &receivedNow, nullptr)) return kIoFailed;
        // No byte within the total time-out: the platform reports success with nothing read.
        if (receivedNow == 0 || receivedNow > wanted) return kIoFailed;
        total = static_cast<std::uint16_t>(total + receivedNow);
        if (received != nullptr) *received = total;
    } while (total < count);
    return kSerialOk;
}

std::uint32_t SendBreak(std::uint32_t durationMs, Handle handle) {
    SetCommBreak(handle);
    Sleep(durationMs);
    ClearCommBreak(handle);
    return 0;
}

std::uint32_t Delay(std::uint32_t durationMs) {
    Sleep(durationMs);
    return 0;
}

} // namespace serial
