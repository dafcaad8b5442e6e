// The tests' raw-mode client of the simulator's pseudo-terminal.
#include "PtyClient.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace toolstest {
namespace {

using Clock = std::chrono::steady_clock;

} // namespace

PtyClient::PtyClient(const std::string& devicePath) {
    Fd = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0) {
        return;
    }
    termios settings{};
    if (tcgetattr(Fd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(Fd, TCSANOW, &settings);
    }
}

PtyClient::~PtyClient() {
    Close();
}

void PtyClient::Close() {
    if (Fd >= 0) {
        close(Fd);
        Fd = -1;
    }
}

void PtyClient::Send(std::string_view bytes) {
    while (!bytes.empty() && Fd >= 0) {
        const ssize_t count = write(Fd, bytes.data(), bytes.size());
        if (count > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
        } else if (count < 0 && errno == EAGAIN) {
            pollfd fd{Fd, POLLOUT, 0};
            poll(&fd, 1, static_cast<int>(kReplyLimit.count()));
        } else if (count < 0 && errno != EINTR) {
            return;
        }
    }
}

bool PtyClient::ReadSome(std::string& into, std::size_t most, Clock::time_point deadline) {
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (Fd < 0 || remaining <= 0) {
        return false;
    }
    pollfd fd{Fd, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(remaining)) <= 0) {
        return Clock::now() < deadline;
    }
    char chunk[1024];
    const ssize_t count = read(Fd, chunk, most < sizeof chunk ? most : sizeof chunk);
    if (count > 0) {
        into.append(chunk, static_cast<std::size_t>(count));
        ++DataReads;
        return true;
    }
    if (count == 0 || errno == EIO) {
        SawHangUp = true;
        return false;
    }
    return errno == EAGAIN || errno == EINTR;
}

std::string PtyClient::ReadBytes(std::size_t count, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    std::string bytes;
    while (bytes.size() < count && ReadSome(bytes, count - bytes.size(), deadline)) {
    }
    return bytes;
}

std::string PtyClient::ReadLine(std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    std::string line;
    // One byte at a time, so that nothing after the LF is taken from the next reply.
    while ((line.empty() || line.back() != '\n') && ReadSome(line, 1, deadline)) {
    }
    return line;
}

std::string PtyClient::Exchange(std::string_view command) {
    Send(std::string(command) + "\r");
    return ReadLine();
}

} // namespace toolstest
