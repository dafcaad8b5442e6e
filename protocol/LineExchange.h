// Line exchange with the controller: command lines out with their CR, reply lines in up to their LF,
// and the "CR"/"CC" link handshake. Private to the protocol layer.
#ifndef DYX_LINE_EXCHANGE_H
#define DYX_LINE_EXCHANGE_H

#include <cstdint>

#include "DyxDriver.h"

namespace protocol {

// Attempts of one exchange before it counts as a communication failure.
constexpr int kAttempts = 6;
constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr std::uint16_t kReplyCapacity = sizeof(ChannelState::ReplyBuffer);

enum SendResult : std::uint8_t { kSent = 0, kNotSent = 2 };
enum ReceiveResult : std::uint8_t { kLineReceived = 0, kNoLine = 1 };
enum LinkResult : std::uint8_t { kLinkUp = 0, kLinkFailed = 2 };

// Copies exactly count bytes; no terminator, no stop at NUL.
void CopyChars(const char* source, char* destination, std::uint16_t count);

// 0 when the count bytes are equal, 1 at the first difference; no stop at NUL, no case folding.
std::uint8_t CompareChars(const char* first, const char* second, std::uint16_t count);

// Purges the port's input, then writes count bytes. True only when all were written.
bool SendBytes(ChannelState& state, const char* bytes, std::uint16_t count);

// Reads count bytes. True only when all arrived within the port's read time-out per read call.
bool ReceiveBytes(ChannelState& state, char* buffer, std::uint16_t count);

// Reads one line byte by byte into ReplyBuffer up to its LF, which becomes a NUL; *count is the line's
// length less 2 (its CR LF, wrapping below 0). 1 when a byte did not arrive or the line does not fit
// ReplyBuffer (256 bytes with its CR LF): *count is then the bytes stored, and the rest of an overlong
// line stays in the input for the next send's purge.
std::uint8_t ReceiveLine(ChannelState& state, std::uint16_t* count);

// Appends a CR at CommandBuffer[CommandLength] and sends CommandLength + 1 bytes: kSent or kNotSent.
std::uint8_t SendCommand(ChannelState& state);

// ReceiveLine into ReplyBuffer, its count into ReplyLength (on failure too).
std::uint8_t ReceiveReply(ChannelState& state);

// Sends the command in CommandBuffer and receives a reply line, up to six attempts, with no pause
// between them: kLineReceived as soon as a line arrived, kNoLine when all six failed to send or receive.
std::uint8_t ExchangeCommand(ChannelState& state);

// Sends "CR" up to six times until a two-character reply "CC" arrives: kLinkUp (LinkUp set to 1), or
// kLinkFailed at once on a reply of another length, or after six failed attempts. Overwrites
// CommandBuffer and CommandLength; never clears LinkUp.
std::uint8_t EstablishLink(ChannelState& state);

} // namespace protocol

#endif
