// Serving loop of the simulator. One command is handled at a time, as a controller does: bytes that
// arrive meanwhile wait in the pseudo-terminal until the reply has left.
#include "LineServer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>

#include "CommandInterpreter.h"

namespace simulator {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
// A start bit, eight data bits, a parity bit and a stop bit.
constexpr unsigned kBitsPerCharacter = 11;
// Longer lines are still answered (with an error) but only this much of them is kept.
constexpr std::size_t kLongestCommandKept = 1024;
constexpr std::size_t kReadChunk = 512;
// With the host gone the master may report a hang-up until the device is opened again; waiting this
// long between looks keeps the loop from spinning.
constexpr auto kHangUpRecheck = std::chrono::milliseconds(50);
// Closing the master discards whatever the host has not read yet, so before hanging up mid-line the
// simulator waits until the partial line has left the device's input: seen there and then taken, or
// not seen at all within the settle time (taken before we looked). A host that is not reading holds
// the hang-up back no longer than the limit.
constexpr auto kPartialLinePoll = std::chrono::milliseconds(5);
constexpr auto kPartialLineSettle = std::chrono::milliseconds(50);
constexpr auto kPartialLineLimit = std::chrono::milliseconds(3000);

// What handling some input came to: nothing while serving goes on, else the end of serving.
using Outcome = std::optional<ServeEnd>;

class Server {
public:
    Server(PseudoTerminal& terminal, ControllerMemory& memory, const ServeSettings& settings, Transcript& transcript,
           int stopFd)
        : Terminal(terminal), Memory(memory), Settings(settings), Log(transcript), StopFd(stopFd) {
        if (settings.Baud != 0) {
            CharacterTime = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(static_cast<double>(kBitsPerCharacter) / settings.Baud));
        }
    }

    ServeEnd Run() {
        for (;;) {
            pollfd fds[2] = {{Terminal.MasterFd(), POLLIN, 0}, {StopFd, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return ServeEnd::Failed;
            }
            if (fds[1].revents != 0) {
                return ServeEnd::Stopped;
            }
            Outcome outcome;
            if ((fds[0].revents & POLLIN) != 0) {
                outcome = ReadCommands();
            } else if (fds[0].revents != 0) {
                outcome = WaitUntil(Clock::now() + kHangUpRecheck) ? Outcome() : ServeEnd::Stopped;
            }
            if (outcome) {
                return *outcome;
            }
        }
    }

private:
    Outcome ReadCommands() {
        char chunk[kReadChunk];
        const ssize_t count = read(Terminal.MasterFd(), chunk, sizeof chunk);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                return std::nullopt;
            }
            if (errno == EIO) {
                return WaitUntil(Clock::now() + kHangUpRecheck) ? Outcome() : ServeEnd::Stopped;
            }
            return ServeEnd::Failed;
        }
        const Clock::time_point readTime = Clock::now();
        for (ssize_t i = 0; i < count; ++i) {
            const Clock::time_point arrival = Arrive(readTime);
            RawLine += chunk[i];
            if (chunk[i] == kCarriageReturn) {
                const Outcome outcome = HandleLine(arrival);
                Command.clear();
                RawLine.clear();
                if (outcome) {
                    return outcome;
                }
            } else if (chunk[i] != kLineFeed && Command.size() < kLongestCommandKept) {
                Command += chunk[i];
            }
        }
        return std::nullopt;
    }

    // When a byte read at `readTime` has finished arriving on a line of the configured speed.
    Clock::time_point Arrive(Clock::time_point readTime) {
        if (CharacterTime == Clock::duration::zero()) {
            return readTime;
        }
        InboundFree = std::max(readTime, InboundFree) + CharacterTime;
        return InboundFree;
    }

    std::string AppliedFaults(std::uint32_t commandNumber) const {
        std::string names;
        for (const FaultOption& fault : kFaultOptions) {
            if (fault.Kind != FaultKind::Silent && Settings.Faults.Applies(fault.Kind, commandNumber)) {
                names += names.empty() ? "faults: " : ",";
                names += fault.Name;
            }
        }
        return names;
    }

    Outcome HandleLine(Clock::time_point arrival) {
        const std::uint32_t commandNumber = ++CommandCount;
        const bool hangUp = commandNumber == Settings.Faults.HangUpAt;
        Log.Record(arrival, "RX", RawLine);
        if (!hangUp && Settings.Faults.Applies(FaultKind::Silent, commandNumber)) {
            Log.Note("command " + std::to_string(commandNumber) + " ignored (silent)");
            return std::nullopt;
        }
        if (!WaitUntil(arrival + std::chrono::milliseconds(Settings.ReplyDelayMs))) {
            return ServeEnd::Stopped;
        }
        const std::string reply = AnswerCommand(Memory, Command);
        ShapedReply shaped = ShapeReply(Settings.Faults, commandNumber, reply);
        if (hangUp) {
            shaped.Bytes.resize(std::max<std::size_t>(1, shaped.Bytes.size() / 2));
            shaped.InPieces = false;
            Log.Record(Clock::now(), "TX", shaped.Bytes, "then hang-up");
            const Outcome sent = Send(shaped);
            if (sent) {
                return sent;
            }
            LetHostTakePartialLine();
            Terminal.CloseMaster();
            return ServeEnd::HungUp;
        }
        Log.Record(Clock::now(), "TX", shaped.Bytes, AppliedFaults(commandNumber));
        return Send(shaped);
    }

    void LetHostTakePartialLine() {
        const Clock::time_point start = Clock::now();
        bool landed = false;
        while (Clock::now() - start < kPartialLineLimit) {
            if (!WaitUntil(Clock::now() + kPartialLinePoll)) {
                return;
            }
            const int pending = Terminal.PendingForHost();
            landed = landed || pending > 0;
            if (pending == 0 && (landed || Clock::now() - start >= kPartialLineSettle)) {
                return;
            }
        }
    }

    Outcome Send(const ShapedReply& shaped) {
        const bool paced = CharacterTime != Clock::duration::zero();
        if (!paced && !shaped.InPieces) {
            return WriteAll(shaped.Bytes);
        }
        Clock::time_point next = Clock::now();
        for (char byte : shaped.Bytes) {
            // On a paced line a byte reaches the host only once its own bits have crossed the line,
            // one character time after the line became free. Scheduling from the planned times, not
            // from when the write happened, keeps late wake-ups from adding up over a reply.
            if (paced) {
                next = std::max(next, OutboundFree) + CharacterTime;
            }
            if (!WaitUntil(next)) {
                return ServeEnd::Stopped;
            }
            const Outcome written = WriteAll(std::string(1, byte));
            if (written) {
                return written;
            }
            OutboundFree = next;
            if (shaped.InPieces) {
                next = Clock::now() + std::chrono::milliseconds(Settings.Faults.PieceGapMs);
            }
        }
        return std::nullopt;
    }

    Outcome WriteAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t count = write(Terminal.MasterFd(), bytes.data(), bytes.size());
            if (count > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(count));
                continue;
            }
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 && errno != EAGAIN) {
                return ServeEnd::Failed;
            }
            // The host is not reading and the device's input is full: wait for room, stoppably.
            pollfd fds[2] = {{Terminal.MasterFd(), POLLOUT, 0}, {StopFd, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 && errno != EINTR) {
                return ServeEnd::Failed;
            }
            if (fds[1].revents != 0) {
                return ServeEnd::Stopped;
            }
        }
        return std::nullopt;
    }

    // Waits until `deadline`; false as soon as a stop is requested.
    bool WaitUntil(Clock::time_point deadline) const {
        for (;;) {
            const Clock::time_point now = Clock::now();
            const auto remaining = now < deadline ? deadline - now : Clock::duration::zero();
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(remaining);
            const timespec timeout{
                static_cast<time_t>(seconds.count()),
                static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(remaining - seconds).count())};
            pollfd stop{StopFd, POLLIN, 0};
            const int ready = ppoll(&stop, 1, &timeout, nullptr);
            if (ready > 0) {
                return false;
            }
            if (ready == 0 && Clock::now() >= deadline) {
                return true;
            }
        }
    }

    PseudoTerminal& Terminal;
    ControllerMemory& Memory;
    const ServeSettings& Settings;
    Transcript& Log;
    const int StopFd;
    Clock::duration CharacterTime = Clock::duration::zero();
    Clock::time_point InboundFree{};
    Clock::time_point OutboundFree{};
    std::uint32_t CommandCount = 0;
    std::string Command;
    std::string RawLine;
};

} // namespace

ServeEnd ServeLine(PseudoTerminal& terminal, ControllerMemory& memory, const ServeSettings& settings,
                   Transcript& transcript, int stopFd) {
    Server server(terminal, memory, settings, transcript, stopFd);
    return server.Run();
}

} // namespace simulator
