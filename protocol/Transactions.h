// Read and write transactions: their command tables and the steps that build commands and check
// replies. Private to the protocol layer.
#ifndef DYX_TRANSACTIONS_H
#define DYX_TRANSACTIONS_H

#include <cstdint>

#include "DyxDriver.h"

namespace protocol {

enum BuildResult : std::uint8_t { kBuilt = 0, kNoCommand = 1 };
enum CheckResult : std::uint8_t { kReplyAccepted = 0, kReplyRejected = 1 };

// The start that reads and writes share: DYX_REFUSED for a block without address text or item, the
// handshake's failure while LinkUp is 0, else DYX_DONE with the address resolved into *commandIndex.
std::uint32_t StartItemTransaction(ChannelState& state, const ItemParams& params, std::uint16_t* commandIndex);

// Decimal digits to a number modulo 65536: each character adds its byte value less '0', digit or not.
std::uint16_t ParseDecimal(const char* characters, std::uint16_t count);

// Writes the read command of commandIndex into CommandBuffer and its length into CommandLength:
// kBuilt, or kNoCommand (nothing written) for an index without a read command.
std::uint8_t BuildReadCommand(ChannelState& state, std::uint16_t commandIndex);

// Checks ReplyBuffer/ReplyLength against the read row of commandIndex and stores the value in
// item.Value: kReplyAccepted, or kReplyRejected with Value untouched (the "ER" row stores 0 either
// way). A converted field must hold only decimal digits and, for five digits, at most 65535.
std::uint8_t DecodeReadReply(const ChannelState& state, std::uint16_t commandIndex, ItemValue& item);

// Writes the write command of commandIndex for value into CommandBuffer and CommandLength: kBuilt, or
// kNoCommand (nothing written) for an index without a write command or "RCC" with the value 1.
std::uint8_t BuildWriteCommand(ChannelState& state, std::uint16_t commandIndex, std::uint16_t value);

// kReplyAccepted when commandIndex has a write command and ReplyBuffer begins with "OK".
std::uint8_t CheckWriteReply(const ChannelState& state, std::uint16_t commandIndex);

} // namespace protocol

#endif
