// Faults the simulator can inject into its replies, chosen per run, and the shaping of a reply's
// bytes under them. Each fault applies to the first N commands (after an optional pass-through) or to all.
#ifndef KV_SIMULATOR_FAULT_PLAN_H
#define KV_SIMULATOR_FAULT_PLAN_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace simulator {

enum class FaultKind {
    Silent,                // no reply at all; the command is not executed
    WrongLength,           // the reply text loses its last character
    LongLine,              // a line of kLongLineLength digits instead of the reply
    LoneLineFeed,          // a lone LF instead of the reply
    LineEndOnly,           // CR LF alone instead of the reply
    MissingCarriageReturn, // the reply ends with LF alone
    StrayBytes,            // kStrayBytes come right before the reply
    SlowPieces,            // the reply leaves one byte at a time with a gap between bytes
    LateLine,              // an extra unrequested line kLateLine follows the reply
};

constexpr std::size_t kFaultKindCount = 9;

struct FaultOption {
    FaultKind Kind;
    std::string_view Name; // the option is "--" + Name + " N" or "--" + Name + "-always"
    std::string_view Help;
};

extern const std::array<FaultOption, kFaultKindCount> kFaultOptions;

constexpr std::size_t kLongLineLength = 320;
inline constexpr std::string_view kStrayBytes{"\xFF\x00#", 3};
inline constexpr std::string_view kLateLine = "99999\r\n";
inline constexpr std::string_view kLineEnd = "\r\n";

struct FaultWindow {
    std::uint32_t FirstCommands = 0; // applies to this many commands
    bool Always = false;             // applies to every command
};

struct FaultPlan {
    std::array<FaultWindow, kFaultKindCount> Windows{};
    // Commands 1 to FaultsAfter pass untouched; the fault windows count from the command after them.
    std::uint32_t FaultsAfter = 0;
    // The master is closed halfway through the reply to this command (1-based; 0 never).
    std::uint32_t HangUpAt = 0;
    std::uint32_t PieceGapMs = 50;

    FaultWindow& Window(FaultKind kind) { return Windows[static_cast<std::size_t>(kind)]; }
    const FaultWindow& Window(FaultKind kind) const { return Windows[static_cast<std::size_t>(kind)]; }

    // True when `kind` applies to command number `commandNumber` (1-based, counting every line received).
    bool Applies(FaultKind kind, std::uint32_t commandNumber) const;
};

struct ShapedReply {
    std::string Bytes; // exactly what goes on the line
    bool InPieces = false;
};

// The bytes sent for the reply text `replyText` to command `commandNumber`: the text and CR LF,
// changed by every fault of `plan` that applies to it. Silent and hang-up are the caller's.
ShapedReply ShapeReply(const FaultPlan& plan, std::uint32_t commandNumber, std::string_view replyText);

} // namespace simulator

#endif
