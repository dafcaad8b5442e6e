// Opens the simulator's pseudo-terminal pair in raw mode.
#include "PseudoTerminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace simulator {
namespace {

// Raw mode matters on the slave above all: with the default line discipline a CR sent to the host
// would arrive as LF (ICRNL) and the host's bytes would be echoed back as commands.
bool MakeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

std::string SystemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

PseudoTerminal::~PseudoTerminal() {
    CloseMaster();
    if (Slave >= 0) {
        close(Slave);
    }
}

bool PseudoTerminal::Open(std::string& error) {
    Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Master < 0) {
        error = SystemError("posix_openpt");
        return false;
    }
    if (grantpt(Master) != 0 || unlockpt(Master) != 0) {
        error = SystemError("grantpt/unlockpt");
        return false;
    }
    char name[128];
    if (ptsname_r(Master, name, sizeof name) != 0) {
        error = SystemError("ptsname_r");
        return false;
    }
    Device = name;
    Slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Slave < 0) {
        error = SystemError(name);
        return false;
    }
    if (!MakeRaw(Slave) || !MakeRaw(Master)) {
        error = SystemError("tcsetattr");
        return false;
    }
    const int flags = fcntl(Master, F_GETFL);
    if (flags < 0 || fcntl(Master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("fcntl");
        return false;
    }
    return true;
}

int PseudoTerminal::PendingForHost() const {
    int waiting = 0;
    return ioctl(Slave, FIONREAD, &waiting) == 0 ? waiting : 0;
}

void PseudoTerminal::CloseMaster() {
    if (Master >= 0) {
        close(Master);
        Master = -1;
    }
}

} // namespace simulator
