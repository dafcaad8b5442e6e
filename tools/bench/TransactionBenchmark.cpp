// Benchmark of reads and writes through DyxMain over a pseudo-terminal against the controller
// simulator: latency, host CPU time and system calls per transaction, the time of a read on a line
// paced at 9600 baud against its wire time, and the cost of a silent controller. Prints figures only.
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DyxDriver.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBitsPerCharacter = 11;
constexpr double kPacedBaud = 9600;
// "RD DM1234" and its CR, then "00042" and CR LF.
constexpr int kReadLineCharacters = 10 + 7;
constexpr std::uint32_t kSilentTimeoutTenMs = 5;
constexpr int kAttempts = 6;

struct Simulator {
    pid_t Pid = -1;
    std::string Device;
};

// Starts the simulator and waits for its ready line.
Simulator StartSimulator(std::vector<std::string> arguments) {
    int output[2];
    if (pipe(output) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(output[1], STDOUT_FILENO);
        close(output[0]);
        close(output[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(KV_SIMULATOR_PATH));
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(KV_SIMULATOR_PATH, argv.data());
        _exit(127);
    }
    close(output[1]);
    std::string line;
    char byte;
    while (read(output[0], &byte, 1) == 1 && byte != '\n') line += byte;
    close(output[0]);
    if (line.rfind("READY /dev/", 0) != 0) {
        std::fprintf(stderr, "simulator did not start: %s\n", line.c_str());
        std::exit(1);
    }
    return {pid, line.substr(std::strlen("READY /dev/"))};
}

void StopSimulator(const Simulator& simulator) {
    kill(simulator.Pid, SIGTERM);
    waitpid(simulator.Pid, nullptr, 0);
}

class Channel {
public:
    explicit Channel(const std::string& port, std::uint32_t timeoutTenMs) {
        std::memset(storage_, 0, sizeof storage_);
        OpenParams open;
        std::memset(&open, 0, sizeof open);
        std::strncpy(open.PortName, port.c_str(), sizeof open.PortName - 1);
        open.PortEnabled = 1;
        open.ReadTimeout = timeoutTenMs;
        open.SerialParams = {9600, 8, 0, 0};
        if (Call(DYX_OPEN_CHANNEL, &open) != 0 || Call(DYX_OPEN_LINK, nullptr) != 0) {
            std::fprintf(stderr, "channel on %s did not come up\n", port.c_str());
            std::exit(1);
        }
        std::memset(&item_, 0, sizeof item_);
        item_.AddressText = "DM$1234";
        item_.Item = &value_;
    }
    ~Channel() { Call(DYX_CLOSE_CHANNEL, nullptr); }

    std::uint32_t Read() { return Call(DYX_READ_ITEM, &item_); }
    std::uint32_t Write(std::uint16_t value) {
        value_.Value = value;
        return Call(DYX_WRITE_ITEM, &item_);
    }

private:
    std::uint32_t Call(std::uint32_t code, void* params) {
        const DriverRequest request = {reinterpret_cast<ChannelState*>(storage_), code, {0, 0}, params};
        return DyxMain(&request);
    }

    alignas(8) unsigned char storage_[1024];
    ItemParams item_;
    ItemValue value_ = {{0, 0}, 0};
};

double CpuSeconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures {
    double MedianUs;
    double P99Us;
    double CpuUsPerTransaction;
    int Failures;
};

template <typename Transaction> Figures Measure(int count, Transaction transaction) {
    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(count));
    int failures = 0;
    const double cpuStart = CpuSeconds();
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        if (transaction(i) != 0) ++failures;
        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    const double cpuUs = (CpuSeconds() - cpuStart) * 1e6 / count;
    std::sort(latencies.begin(), latencies.end());
    return {latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100], cpuUs, failures};
}

// Counts the system calls of `count` reads and then `count` writes, in a traced child that marks
// the start and end of each batch with getppid, a call the driver never makes.
void CountSystemCalls(const std::string& port, int count, double* perRead, double* perWrite) {
    const pid_t child = fork();
    if (child == 0) {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        raise(SIGSTOP);
        Channel channel(port, 100);
        for (int i = 0; i < 20; ++i) channel.Read();
        syscall(SYS_getppid);
        for (int i = 0; i < count; ++i) channel.Read();
        syscall(SYS_getppid);
        for (int i = 0; i < count; ++i) channel.Write(static_cast<std::uint16_t>(i));
        syscall(SYS_getppid);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    long counts[4] = {0, 0, 0, 0};
    int phase = 0;
    bool entering = true;
    while (true) {
        ptrace(PTRACE_SYSCALL, child, nullptr, nullptr);
        if (waitpid(child, &status, 0) < 0 || WIFEXITED(status) || WIFSIGNALED(status)) break;
        if (!(WIFSTOPPED(status) && WSTOPSIG(status) == (SIGTRAP | 0x80))) continue;
        if (entering) {
            user_regs_struct registers;
            ptrace(PTRACE_GETREGS, child, nullptr, &registers);
            if (static_cast<long>(registers.orig_rax) == SYS_getppid) {
                ++phase;
            } else if (phase < 4) {
                ++counts[phase];
            }
        }
        entering = !entering;
    }
    *perRead = static_cast<double>(counts[1]) / count;
    *perWrite = static_cast<double>(counts[2]) / count;
}

// The same DM read made by the plainest possible host, blocking reads and writes on the device with
// no driver in between: the floor that the pseudo-terminal and the simulator set.
std::vector<double> BareReadTimes(const std::string& port, int count) {
    const int descriptor = open(("/dev/" + port).c_str(), O_RDWR | O_NOCTTY);
    termios settings;
    tcgetattr(descriptor, &settings);
    cfmakeraw(&settings);
    tcsetattr(descriptor, TCSANOW, &settings);
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        if (write(descriptor, "RD DM1234\r", 10) != 10) break;
        char byte = 0;
        while (byte != '\n' && read(descriptor, &byte, 1) == 1) {
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    close(descriptor);
    return times;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;

    std::printf("Transactions through DyxMain over a pseudo-terminal against kv_simulator\n\n");
    {
        const Simulator simulator = StartSimulator({"--set", "DM1234=42"});
        Figures reads{};
        Figures writes{};
        {
            Channel channel(simulator.Device, 100);
            Measure(2000, [&](int) { return channel.Read(); });
            reads = Measure(count, [&](int) { return channel.Read(); });
            writes = Measure(count, [&](int i) { return channel.Write(static_cast<std::uint16_t>(i)); });
        }
        StopSimulator(simulator);
        // Tracing slows the host so much that an immediate reply would already be waiting at every
        // read; a reply 2 ms late makes each transaction take the path it takes on a real line.
        const Simulator late = StartSimulator({"--set", "DM1234=42", "--reply-delay", "2"});
        double syscallsPerRead = 0;
        double syscallsPerWrite = 0;
        CountSystemCalls(late.Device, 300, &syscallsPerRead, &syscallsPerWrite);
        StopSimulator(late);

        std::printf("Unpaced line, no reply delay, %d transactions each:\n", count);
        std::printf("  %-6s %10s %10s %16s %14s %9s\n", "", "median", "p99", "host CPU/trans.", "syscalls/trans.",
                    "failures");
        std::printf("  %-6s %8.1f us %8.1f us %13.2f us %15.1f %9d\n", "read", reads.MedianUs, reads.P99Us,
                    reads.CpuUsPerTransaction, syscallsPerRead, reads.Failures);
        std::printf("  %-6s %8.1f us %8.1f us %13.2f us %15.1f %9d\n", "write", writes.MedianUs, writes.P99Us,
                    writes.CpuUsPerTransaction, syscallsPerWrite, writes.Failures);
        std::printf("  targets for a DM read: at most 15 us host CPU (%s), at most 12 system calls (%s)\n\n",
                    reads.CpuUsPerTransaction <= 15 ? "met" : "NOT met", syscallsPerRead <= 12 ? "met" : "NOT met");
    }
    {
        const Simulator simulator = StartSimulator({"--set", "DM1234=42", "--baud", "9600"});
        std::vector<double> times;
        {
            Channel channel(simulator.Device, 100);
            for (int i = 0; i < 50; ++i) {
                const auto start = Clock::now();
                channel.Read();
                times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
        }
        const double bareMs = Median(BareReadTimes(simulator.Device, 50));
        StopSimulator(simulator);
        const double wireMs = kReadLineCharacters * kBitsPerCharacter * 1000.0 / kPacedBaud;
        const double medianMs = Median(times);
        std::printf("Line paced at 9600 baud, 11 bits a character, 50 DM reads:\n");
        std::printf("  median %.2f ms against %.2f ms on the wire: %.3f times (target at most 1.01: %s)\n", medianMs,
                    wireMs, medianMs / wireMs, medianMs / wireMs <= 1.01 ? "met" : "NOT met");
        std::printf("  the same exchange with plain blocking reads and writes and no driver: %.2f ms (%.3f times)\n\n",
                    bareMs, bareMs / wireMs);
    }
    {
        const Simulator simulator = StartSimulator({"--faults-after", "1", "--silent-always"});
        std::vector<double> times;
        {
            Channel channel(simulator.Device, kSilentTimeoutTenMs);
            for (int i = 0; i < 10; ++i) {
                const auto start = Clock::now();
                channel.Read();
                times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
        }
        StopSimulator(simulator);
        const double boundMs = kAttempts * kSilentTimeoutTenMs * 10.0;
        const double medianMs = Median(times);
        std::printf("Silent controller, read time-out %u ms, 10 reads:\n", kSilentTimeoutTenMs * 10);
        std::printf("  median %.2f ms against six time-outs, %.0f ms: %+.2f %% (target within 2 %%: %s)\n", medianMs,
                    boundMs, (medianMs / boundMs - 1) * 100,
                    std::abs(medianMs / boundMs - 1) <= 0.02 ? "met" : "NOT met");
    }
    return 0;
}
