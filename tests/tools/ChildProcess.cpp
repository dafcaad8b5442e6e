// Child processes for the tools' end-to-end tests, started with posix_spawn and watched with poll.
#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

namespace toolstest {
namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& command, int& outFd, int& errFd) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& part : command) {
        argv.push_back(const_cast<char*>(part.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (failed != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        throw std::runtime_error("cannot start " + command.front());
    }
    outFd = outPipe[0];
    errFd = errPipe[0];
    return pid;
}

// Reads what is available on `fd` into `text`; false once the other end is closed.
bool ReadAvailable(int& fd, std::string& text) {
    if (fd < 0) {
        return false;
    }
    char chunk[4096];
    const ssize_t count = read(fd, chunk, sizeof chunk);
    if (count > 0) {
        text.append(chunk, static_cast<std::size_t>(count));
        return true;
    }
    close(fd);
    fd = -1;
    return false;
}

int RemainingMs(Clock::time_point deadline) {
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return remaining > 0 ? static_cast<int>(remaining) : 0;
}

} // namespace

bool ExitedWith(int waitStatus, int exitStatus) {
    return WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == exitStatus;
}

ProgramResult RunProgram(const std::vector<std::string>& command, std::chrono::milliseconds limit) {
    ChildProcess child(command);
    ProgramResult result;
    const std::optional<int> status = child.WaitForExit(limit);
    if (!status) {
        child.StopWith(SIGKILL);
    }
    result.Out = child.OutputSoFar();
    result.Err = child.ErrorOutput();
    if (status && WIFEXITED(*status)) {
        result.Exited = true;
        result.ExitStatus = WEXITSTATUS(*status);
    }
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& command) {
    ProcessId = Spawn(command, OutFd, ErrFd);
    ProcessFd = static_cast<int>(syscall(SYS_pidfd_open, ProcessId, 0));
}

ChildProcess::~ChildProcess() {
    if (!Ended && !StopWith(SIGTERM)) {
        StopWith(SIGKILL);
    }
    if (OutFd >= 0) {
        close(OutFd);
    }
    if (ErrFd >= 0) {
        close(ErrFd);
    }
    if (ProcessFd >= 0) {
        close(ProcessFd);
    }
}

void ChildProcess::Drain(int timeoutMs) {
    // The process descriptor wakes the poll when the child ends, so waiting for an exit needs no sleep.
    pollfd fds[3] = {{OutFd, POLLIN, 0}, {ErrFd, POLLIN, 0}, {Ended ? -1 : ProcessFd, POLLIN, 0}};
    if (poll(fds, 3, timeoutMs) <= 0) {
        return;
    }
    if (fds[0].revents != 0) {
        ReadAvailable(OutFd, Out);
    }
    if (fds[1].revents != 0) {
        ReadAvailable(ErrFd, Err);
    }
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
        const std::size_t end = Out.find('\n', OutRead);
        if (end != std::string::npos) {
            std::string line = Out.substr(OutRead, end - OutRead);
            OutRead = end + 1;
            return line;
        }
        if (OutFd < 0 || Clock::now() >= deadline) {
            return std::nullopt;
        }
        Drain(RemainingMs(deadline));
    }
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t ended = wait4(ProcessId, &status, WNOHANG, &EndUsage);
        if (ended == ProcessId) {
            Ended = true;
            while (OutFd >= 0 || ErrFd >= 0) {
                Drain(-1);
            }
            return status;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        // Reading the pipes meanwhile keeps a chatty child from blocking on a full pipe.
        Drain(RemainingMs(deadline));
    }
}

std::optional<int> ChildProcess::StopWith(int signalNumber, std::chrono::milliseconds limit) {
    if (Ended) {
        return std::nullopt;
    }
    kill(ProcessId, signalNumber);
    return WaitForExit(limit);
}

std::string ChildProcess::ErrorOutput() {
    if (!Ended) {
        Drain(0);
    }
    return Err;
}

} // namespace toolstest
