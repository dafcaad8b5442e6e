// Entry point of kv_simulator: parses options, opens the pseudo-terminal, announces it with a ready
// line and serves until SIGTERM, SIGINT or SIGHUP.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "LineServer.h"
#include "PseudoTerminal.h"
#include "SimulatorOptions.h"
#include "Transcript.h"

namespace {

constexpr int kExitUsage = 64;
constexpr int kExitFailure = 1;

int StopPipeWriteFd = -1;

void OnStopSignal(int) {
    const char byte = 0;
    const ssize_t ignored = write(StopPipeWriteFd, &byte, 1);
    static_cast<void>(ignored);
}

bool InstallStopSignals(int& stopReadFd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    stopReadFd = fds[0];
    StopPipeWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        if (sigaction(signalNumber, &action, nullptr) != 0) {
            return false;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    return true;
}

// Replaces an old symbolic link at `linkPath`, but never another kind of file.
bool MakeLink(const std::string& devicePath, const std::string& linkPath, std::string& error) {
    struct stat existing {};
    if (lstat(linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            error = linkPath + " exists and is not a symbolic link";
            return false;
        }
        unlink(linkPath.c_str());
    }
    if (symlink(devicePath.c_str(), linkPath.c_str()) != 0) {
        error = linkPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Removes the link only while it still points at our device: another simulator may have taken it over.
void RemoveLink(const std::string& devicePath, const std::string& linkPath) {
    char target[256];
    const ssize_t length = readlink(linkPath.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == devicePath) {
        unlink(linkPath.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    auto options = std::make_unique<simulator::SimulatorOptions>();
    std::string error;
    if (!simulator::ParseSimulatorOptions(std::vector<std::string>(argv + 1, argv + argc), *options, error)) {
        std::fprintf(stderr, "kv_simulator: %s\nTry 'kv_simulator --help'.\n", error.c_str());
        return kExitUsage;
    }
    if (options->ShowHelp) {
        std::fputs(simulator::SimulatorUsage().c_str(), stdout);
        return 0;
    }
    // Timed waits end when they are due, not up to the kernel's default 50 us later: a paced line
    // must not run slower than its baud rate.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    int stopReadFd = -1;
    if (!InstallStopSignals(stopReadFd)) {
        std::fprintf(stderr, "kv_simulator: cannot install signal handlers: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    simulator::Transcript transcript;
    if (!options->LogPath.empty() && !transcript.Open(options->LogPath, error)) {
        std::fprintf(stderr, "kv_simulator: %s\n", error.c_str());
        return kExitFailure;
    }
    simulator::PseudoTerminal terminal;
    if (!terminal.Open(error)) {
        std::fprintf(stderr, "kv_simulator: %s\n", error.c_str());
        return kExitFailure;
    }
    if (!options->LinkPath.empty() && !MakeLink(terminal.DevicePath(), options->LinkPath, error)) {
        std::fprintf(stderr, "kv_simulator: %s\n", error.c_str());
        return kExitFailure;
    }
    std::printf("READY %s\n", terminal.DevicePath().c_str());
    std::fflush(stdout);
    transcript.Note("READY " + terminal.DevicePath());

    simulator::ServeSettings settings;
    settings.Faults = options->Faults;
    settings.ReplyDelayMs = options->ReplyDelayMs;
    settings.Baud = options->Baud;
    const simulator::ServeEnd end = simulator::ServeLine(terminal, options->Memory, settings, transcript, stopReadFd);

    if (!options->LinkPath.empty()) {
        RemoveLink(terminal.DevicePath(), options->LinkPath);
    }
    switch (end) {
    case simulator::ServeEnd::Stopped: transcript.Note("stopped"); return 0;
    case simulator::ServeEnd::HungUp: transcript.Note("hung up"); return 0;
    case simulator::ServeEnd::Failed: break;
    }
    std::fprintf(stderr, "kv_simulator: the pseudo-terminal failed: %s\n", std::strerror(errno));
    transcript.Note("failed");
    return kExitFailure;
}
