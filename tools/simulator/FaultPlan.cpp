// Decides which faults hit a command and builds the faulty reply bytes.
#include "FaultPlan.h"

namespace simulator {

const std::array<FaultOption, kFaultKindCount> kFaultOptions = {{
    {FaultKind::Silent, "silent", "ignore the command: no reply, not executed"},
    {FaultKind::WrongLength, "wrong-length", "drop the last character of the reply text"},
    {FaultKind::LongLine, "long-line", "answer with a line of 320 digits and CR LF"},
    {FaultKind::LoneLineFeed, "lone-lf", "answer with a lone LF"},
    {FaultKind::LineEndOnly, "crlf-only", "answer with CR LF only"},
    {FaultKind::MissingCarriageReturn, "no-cr", "end the reply with LF, without its CR"},
    {FaultKind::StrayBytes, "stray-bytes", "send the bytes FF 00 23 right before the reply"},
    {FaultKind::SlowPieces, "slow-pieces", "send the reply one byte at a time, --piece-gap apart"},
    {FaultKind::LateLine, "late-line", "send an unrequested line 99999 right after the reply"},
}};

bool FaultPlan::Applies(FaultKind kind, std::uint32_t commandNumber) const {
    if (commandNumber <= FaultsAfter) {
        return false;
    }
    const FaultWindow& window = Window(kind);
    return window.Always || commandNumber - FaultsAfter <= window.FirstCommands;
}

ShapedReply ShapeReply(const FaultPlan& plan, std::uint32_t commandNumber, std::string_view replyText) {
    const auto applies = [&](FaultKind kind) { return plan.Applies(kind, commandNumber); };
    std::string text(replyText);
    if (applies(FaultKind::WrongLength) && !text.empty()) {
        text.pop_back();
    }
    if (applies(FaultKind::LongLine)) {
        text.clear();
        for (std::size_t i = 0; i < kLongLineLength; ++i) {
            text += static_cast<char>('0' + i % 10);
        }
    }
    ShapedReply shaped;
    if (applies(FaultKind::StrayBytes)) {
        shaped.Bytes = std::string(kStrayBytes);
    }
    if (applies(FaultKind::LoneLineFeed)) {
        shaped.Bytes += '\n';
    } else if (applies(FaultKind::LineEndOnly)) {
        shaped.Bytes += kLineEnd;
    } else if (applies(FaultKind::MissingCarriageReturn)) {
        shaped.Bytes += text + "\n";
    } else {
        shaped.Bytes += text + std::string(kLineEnd);
    }
    if (applies(FaultKind::LateLine)) {
        shaped.Bytes += kLateLine;
    }
    shaped.InPieces = applies(FaultKind::SlowPieces);
    return shaped;
}

} // namespace simulator
