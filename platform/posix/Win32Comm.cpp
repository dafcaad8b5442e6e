// Linux stand-in for the Win32 communications calls, over termios: gives the serial layer the results
// it relies on from Windows. Built only where the system has no such calls.
#include "Win32Comm.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace {

constexpr std::size_t kInputChunkBytes = 512;

// What the system keeps for an open handle: the descriptor, the handle's time-outs, and input taken
// from the device but not yet read (the driver reads one byte per call, and one system call per byte
// would cost more than the line itself).
struct PortFile {
    int Descriptor;
    bool IsTerminal;
    bool Exclusive;
    COMMTIMEOUTS Timeouts;
    std::size_t PendingStart;
    std::size_t PendingEnd;
    char Pending[kInputChunkBytes];

    std::size_t PendingBytes() const { return PendingEnd - PendingStart; }
};

constexpr char kDevicePrefix[] = "/dev/";
constexpr char kLocalDevicePrefix[] = "\\\\.\\";

PortFile* FileOf(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return nullptr;
    }
    return static_cast<PortFile*>(handle);
}

bool EqualsIgnoringCase(const char* text, const char* upper, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i]) return false;
    }
    return true;
}

// Windows device names onto Linux paths: "NUL" is the null device, "COMn" the n-th serial port
// (/dev/ttyS(n-1)), an absolute path stays as it is, any other name is a device under /dev/.
bool DevicePath(const char* name, char* path, std::size_t pathSize) {
    if (std::strncmp(name, kLocalDevicePrefix, sizeof kLocalDevicePrefix - 1) == 0) {
        name += sizeof kLocalDevicePrefix - 1;
    }
    const std::size_t length = std::strlen(name);
    int written;
    if (length == 0) {
        errno = ENOENT;
        return false;
    } else if (length == 3 && EqualsIgnoringCase(name, "NUL", 3)) {
        written = std::snprintf(path, pathSize, "/dev/null");
    } else if (length > 3 && length <= 6 && EqualsIgnoringCase(name, "COM", 3) &&
               std::strspn(name + 3, "0123456789") == length - 3 && name[3] != '0') {
        written = std::snprintf(path, pathSize, "/dev/ttyS%d", std::atoi(name + 3) - 1);
    } else if (name[0] == '/') {
        written = std::snprintf(path, pathSize, "%s", name);
    } else {
        written = std::snprintf(path, pathSize, "%s%s", kDevicePrefix, name);
    }
    if (written < 0 || static_cast<std::size_t>(written) >= pathSize) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

long long NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Modem-line requests on a device that has no modem lines (a pseudo-terminal) have no effect; any
// other refusal is a refusal of the settings.
bool SetModemLine(int descriptor, int line, bool on) {
    if (ioctl(descriptor, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
    return errno == ENOTTY || errno == EINVAL;
}

tcflag_t CharacterSizeFlag(BYTE byteSize) {
    switch (byteSize) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

constexpr tcflag_t kLineFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

} // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD, HANDLE) {
    char path[4096];
    if (name == nullptr || disposition != OPEN_EXISTING || !DevicePath(name, path, sizeof path)) {
        return INVALID_HANDLE_VALUE;
    }
    int mode = O_RDWR;
    if ((access & GENERIC_WRITE) == 0) mode = O_RDONLY;
    if ((access & GENERIC_READ) == 0) mode = O_WRONLY;
    const int descriptor = open(path, mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return INVALID_HANDLE_VALUE;

    const bool isTerminal = isatty(descriptor) == 1;
    const bool exclusive = shareMode == 0 && isTerminal;
    // TIOCEXCL keeps other programs out, but root passes it; the lock keeps out every open made
    // through these calls, root's included.
    if (exclusive && (ioctl(descriptor, TIOCEXCL) != 0 || flock(descriptor, LOCK_EX | LOCK_NB) != 0)) {
        const int lockError = errno;
        close(descriptor);
        errno = lockError == EWOULDBLOCK ? EBUSY : lockError;
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new (std::nothrow) PortFile{descriptor, isTerminal, exclusive, {0, 0, 0, 0, 0}, 0, 0, {}};
    if (file == nullptr) {
        close(descriptor);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

BOOL CloseHandle(HANDLE handle) {
    PortFile* file = FileOf(handle);
    if (file == nullptr) return FALSE;
    if (file->Exclusive) ioctl(file->Descriptor, TIOCNXCL);
    const int result = close(file->Descriptor);
    delete file;
    return result == 0 ? TRUE : FALSE;
}

// Reports the line as it is: rate, character size, parity, stop bits, flow control, modem lines.
BOOL GetCommState(HANDLE handle, DCB* dcb) {
    PortFile* file = FileOf(handle);
    termios2 settings;
    if (file == nullptr || ioctl(file->Descriptor, TCGETS2, &settings) != 0) return FALSE;
    int modemLines = 0;
    if (ioctl(file->Descriptor, TIOCMGET, &modemLines) != 0) modemLines = 0;

    const tcflag_t cflag = settings.c_cflag;
    dcb->BaudRate = settings.c_ospeed;
    switch (cflag & CSIZE) {
    case CS5: dcb->ByteSize = 5; break;
    case CS6: dcb->ByteSize = 6; break;
    case CS7: dcb->ByteSize = 7; break;
    default: dcb->ByteSize = 8; break;
    }
    if ((cflag & PARENB) == 0) {
        dcb->Parity = NOPARITY;
    } else if (cflag & CMSPAR) {
        dcb->Parity = (cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    } else {
        dcb->Parity = (cflag & PARODD) ? ODDPARITY : EVENPARITY;
    }
    dcb->StopBits = (cflag & CSTOPB) ? (dcb->ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS) : ONESTOPBIT;
    dcb->fBinary = 1;
    dcb->fParity = (settings.c_iflag & INPCK) ? 1 : 0;
    dcb->fOutxCtsFlow = (cflag & CRTSCTS) ? 1 : 0;
    dcb->fRtsControl = (cflag & CRTSCTS)               ? RTS_CONTROL_HANDSHAKE
                       : (modemLines & TIOCM_RTS) != 0 ? RTS_CONTROL_ENABLE
                                                       : RTS_CONTROL_DISABLE;
    dcb->fDtrControl = (modemLines & TIOCM_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb->fOutX = (settings.c_iflag & IXON) ? 1 : 0;
    dcb->fInX = (settings.c_iflag & IXOFF) ? 1 : 0;
    dcb->XonChar = static_cast<char>(settings.c_cc[VSTART]);
    dcb->XoffChar = static_cast<char>(settings.c_cc[VSTOP]);
    dcb->EofChar = static_cast<char>(settings.c_cc[VEOF]);
    return TRUE;
}

// Puts the line in raw 8-bit mode with the DCB's rate (any rate, through BOTHER), size, parity and
// stop bits, then reads the line back: a device that cannot take a setting (a pseudo-terminal has no
// parity and only 8 data bits) refuses the whole call, as a Windows driver refuses what it cannot do.
// DTR handshake raises DTR (Linux has no DTR flow control); RTS toggle holds RTS low between writes.
BOOL SetCommState(HANDLE handle, DCB* dcb) {
    PortFile* file = FileOf(handle);
    termios2 settings;
    if (file == nullptr || ioctl(file->Descriptor, TCGETS2, &settings) != 0) return FALSE;
    const bool validSize = dcb->ByteSize >= 5 && dcb->ByteSize <= 8;
    const bool validStop = dcb->StopBits == ONESTOPBIT || (dcb->StopBits == ONE5STOPBITS && dcb->ByteSize == 5) ||
                           (dcb->StopBits == TWOSTOPBITS && dcb->ByteSize != 5);
    if (!validSize || !validStop || dcb->Parity > SPACEPARITY || dcb->BaudRate == 0) {
        errno = EINVAL;
        return FALSE;
    }

    tcflag_t cflag = settings.c_cflag & ~(CBAUD | kLineFlags | CRTSCTS);
    cflag |= BOTHER | CREAD | CLOCAL | CharacterSizeFlag(dcb->ByteSize);
    if (dcb->StopBits != ONESTOPBIT) cflag |= CSTOPB;
    switch (dcb->Parity) {
    case ODDPARITY: cflag |= PARENB | PARODD; break;
    case EVENPARITY: cflag |= PARENB; break;
    case MARKPARITY: cflag |= PARENB | CMSPAR | PARODD; break;
    case SPACEPARITY: cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (dcb->fOutxCtsFlow || dcb->fRtsControl == RTS_CONTROL_HANDSHAKE) cflag |= CRTSCTS;
    settings.c_cflag = cflag;
    // Bytes pass unchanged, as with fErrorChar and fNull off: no parity marking, no translation.
    settings.c_iflag = (dcb->fOutX ? IXON : 0) | (dcb->fInX ? IXOFF : 0);
    settings.c_oflag = 0;
    settings.c_lflag = 0;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    settings.c_cc[VSTART] = static_cast<cc_t>(dcb->XonChar);
    settings.c_cc[VSTOP] = static_cast<cc_t>(dcb->XoffChar);
    settings.c_ispeed = dcb->BaudRate;
    settings.c_ospeed = dcb->BaudRate;
    if (ioctl(file->Descriptor, TCSETS2, &settings) != 0) return FALSE;

    termios2 applied;
    if (ioctl(file->Descriptor, TCGETS2, &applied) != 0) return FALSE;
    if ((applied.c_cflag & kLineFlags) != (cflag & kLineFlags) || applied.c_ospeed != dcb->BaudRate) {
        errno = EINVAL;
        return FALSE;
    }
    const bool dtrOn = dcb->fDtrControl != DTR_CONTROL_DISABLE;
    const bool rtsOn = dcb->fRtsControl == RTS_CONTROL_ENABLE;
    if (!SetModemLine(file->Descriptor, TIOCM_DTR, dtrOn)) return FALSE;
    if (dcb->fRtsControl != RTS_CONTROL_HANDSHAKE && !SetModemLine(file->Descriptor, TIOCM_RTS, rtsOn)) {
        return FALSE;
    }
    return TRUE;
}

BOOL GetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) {
    PortFile* file = FileOf(handle);
    if (file == nullptr) return FALSE;
    *timeouts = file->Timeouts;
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) {
    PortFile* file = FileOf(handle);
    if (file == nullptr) return FALSE;
    file->Timeouts = *timeouts;
    return TRUE;
}

// The kernel's queues have fixed sizes; the request is accepted for any open handle.
BOOL SetupComm(HANDLE handle, DWORD, DWORD) {
    return FileOf(handle) != nullptr ? TRUE : FALSE;
}

// Reports the bytes waiting in the input (the device's and those already taken from it); no line errors are tracked
// (the error word is 0) and the output queue is reported empty.
BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) {
    PortFile* file = FileOf(handle);
    int waiting = 0;
    if (file == nullptr || ioctl(file->Descriptor, FIONREAD, &waiting) != 0) return FALSE;
    if (errors != nullptr) *errors = 0;
    if (status != nullptr) {
        status->Flags = 0;
        status->cbInQue = static_cast<DWORD>(waiting) + static_cast<DWORD>(file->PendingBytes());
        status->cbOutQue = 0;
    }
    return TRUE;
}

// Reads up to count bytes and, as on Windows, succeeds with fewer (even none) when the time-out runs
// out: the total time-out is ReadTotalTimeoutMultiplier x count + ReadTotalTimeoutConstant from the
// call's start; an interval time-out limits the wait between two bytes once one has arrived; all
// zero waits until count bytes have arrived; interval MAXDWORD with both total values 0 returns at
// once with what is waiting. A hung-up line fails the call.
BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* received, OVERLAPPED*) {
    PortFile* file = FileOf(handle);
    if (received != nullptr) *received = 0;
    if (file == nullptr) return FALSE;
    const COMMTIMEOUTS& timeouts = file->Timeouts;
    const bool returnAtOnce = timeouts.ReadIntervalTimeout == MAXDWORD && timeouts.ReadTotalTimeoutMultiplier == 0 &&
                              timeouts.ReadTotalTimeoutConstant == 0;
    const long long totalMs =
        static_cast<long long>(timeouts.ReadTotalTimeoutMultiplier) * count + timeouts.ReadTotalTimeoutConstant;
    const bool intervalApplies = timeouts.ReadIntervalTimeout != 0 && timeouts.ReadIntervalTimeout != MAXDWORD;
    const long long startMs = NowMs();
    long long lastByteMs = startMs;
    DWORD total = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (total < count) {
        if (file->PendingBytes() > 0) {
            const std::size_t taken = std::min<std::size_t>(file->PendingBytes(), count - total);
            std::memcpy(bytes + total, file->Pending + file->PendingStart, taken);
            file->PendingStart += taken;
            total += static_cast<DWORD>(taken);
            if (received != nullptr) *received = total;
            continue;
        }

        // Wait first: a reply is rarely there yet when its command has just gone out.
        long long waitMs = -1;
        const long long nowMs = NowMs();
        if (returnAtOnce) waitMs = 0;
        if (totalMs != 0) waitMs = std::max(0LL, startMs + totalMs - nowMs);
        if (intervalApplies && total > 0) {
            const long long intervalLeftMs = std::max(0LL, lastByteMs + timeouts.ReadIntervalTimeout - nowMs);
            if (waitMs < 0 || intervalLeftMs < waitMs) waitMs = intervalLeftMs;
        }
        pollfd ready = {file->Descriptor, POLLIN, 0};
        const int polled = poll(&ready, 1, waitMs > 0x7fffffff ? 0x7fffffff : static_cast<int>(waitMs));
        if (polled < 0 && errno == EINTR) continue;
        if (polled < 0) return FALSE;
        if (polled == 0) break;

        const ssize_t got = read(file->Descriptor, file->Pending, sizeof file->Pending);
        if (got > 0) {
            file->PendingStart = 0;
            file->PendingEnd = static_cast<std::size_t>(got);
            if (intervalApplies) lastByteMs = NowMs();
            continue;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got < 0) return FALSE;
        // Readable yet nothing to read: the end of a file, or a terminal whose line has hung up.
        if (!file->IsTerminal) break;
        return FALSE;
    }
    return TRUE;
}

// Writes all count bytes, waiting for the device as long as the write time-outs allow (all zero: no
// limit). Fails when the device fails, for instance a hung-up line.
BOOL WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* written, OVERLAPPED*) {
    PortFile* file = FileOf(handle);
    if (written != nullptr) *written = 0;
    if (file == nullptr) return FALSE;
    const long long totalMs = static_cast<long long>(file->Timeouts.WriteTotalTimeoutMultiplier) * count +
                              file->Timeouts.WriteTotalTimeoutConstant;
    const long long startMs = NowMs();
    const auto* bytes = static_cast<const char*>(buffer);
    DWORD total = 0;
    while (total < count) {
        const ssize_t put = write(file->Descriptor, bytes + total, count - total);
        if (put > 0) {
            total += static_cast<DWORD>(put);
            if (written != nullptr) *written = total;
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN) return FALSE;
        int waitMs = -1;
        if (totalMs != 0) {
            const long long leftMs = startMs + totalMs - NowMs();
            if (leftMs <= 0) break;
            waitMs = leftMs > 0x7fffffff ? 0x7fffffff : static_cast<int>(leftMs);
        }
        pollfd ready = {file->Descriptor, POLLOUT, 0};
        if (poll(&ready, 1, waitMs) < 0 && errno != EINTR) return FALSE;
        if ((ready.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return FALSE;
    }
    return TRUE;
}

BOOL SetCommBreak(HANDLE handle) {
    PortFile* file = FileOf(handle);
    return file != nullptr && ioctl(file->Descriptor, TIOCSBRK) == 0 ? TRUE : FALSE;
}

BOOL ClearCommBreak(HANDLE handle) {
    PortFile* file = FileOf(handle);
    return file != nullptr && ioctl(file->Descriptor, TIOCCBRK) == 0 ? TRUE : FALSE;
}

void Sleep(DWORD milliseconds) {
    timespec left = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
