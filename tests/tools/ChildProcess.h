// Test support: starting the tools as child processes, reading their output, stopping them by the
// process id the test started.
#ifndef DYX_TOOLS_TESTS_CHILD_PROCESS_H
#define DYX_TOOLS_TESTS_CHILD_PROCESS_H

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace toolstest {

// Generous bounds that only a broken program reaches; passing runs take milliseconds.
constexpr std::chrono::milliseconds kStartLimit{10000};
constexpr std::chrono::milliseconds kRunLimit{60000};

struct ProgramResult {
    bool Exited = false; // false: it was killed at the limit or by a signal
    int ExitStatus = -1;
    std::string Out;
    std::string Err;
};

// Runs `command` (program path first) to its end, collecting both outputs. A program still running
// at `limit` is killed by its pid and reported as not exited.
ProgramResult RunProgram(const std::vector<std::string>& command, std::chrono::milliseconds limit = kRunLimit);

// A running child whose standard output the test reads line by line; standard error is collected.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& command);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Stops a child that is still running (SIGTERM, then SIGKILL if it does not go).
    ~ChildProcess();

    pid_t Pid() const { return ProcessId; }

    // The next line of standard output without its LF, or nothing if none came within `limit`.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit = kStartLimit);

    // Sends `signalNumber` to the child and waits for it to end, at most `limit`.
    std::optional<int> StopWith(int signalNumber, std::chrono::milliseconds limit = kStartLimit);

    // Waits for the child to end on its own, at most `limit`. The value is the raw wait status.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit = kStartLimit);

    // Resource use of the ended child (valid after StopWith or WaitForExit returned a status).
    const rusage& Usage() const { return EndUsage; }

    // Everything read so far from standard output and standard error.
    const std::string& OutputSoFar() const { return Out; }
    std::string ErrorOutput();

private:
    void Drain(int timeoutMs);

    pid_t ProcessId = -1;
    int OutFd = -1;
    int ErrFd = -1;
    int ProcessFd = -1;
    bool Ended = false;
    rusage EndUsage{};
    std::string Out;
    std::size_t OutRead = 0;
    std::string Err;
};

// Status helpers for the raw wait status.
bool ExitedWith(int waitStatus, int exitStatus);

} // namespace toolstest

#endif
