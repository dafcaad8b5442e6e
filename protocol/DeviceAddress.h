// Device addresses: the host's address text normalised into AddressField, and the device tables that
// give its CommandIndex. Private to the protocol layer.
#ifndef DYX_DEVICE_ADDRESS_H
#define DYX_DEVICE_ADDRESS_H

#include <cstdint>

#include "DyxDriver.h"

namespace protocol {

constexpr std::uint16_t kAddressFieldLength = sizeof(ChannelState::AddressField);
// CommandIndex of an address whose device code is in neither table for its data type.
constexpr std::uint16_t kNoDevice = 99;
// Word devices are numbered from here on, behind the bit devices.
constexpr std::uint16_t kFirstWordIndex = 10;

// The fixed byte rule: bytes 0x61 to 0x7F lose 0x20, all others stay as they are.
char UpperCaseChar(char character);

// Writes addressText, upper-cased, into AddressField and pads it with spaces to 8 characters. Reads
// at most 9 bytes of addressText. Returns true when the text fitted (8 characters or fewer); a longer
// text leaves its first 8 characters in AddressField, nothing anywhere else, and returns false.
bool NormalizeAddress(ChannelState& state, const char* addressText);

// The CommandIndex of AddressField's device code for the low 8 bits of dataType: 0 to 6 in the bit
// table (6), 10 to 23 in the word table (0 or 1), kNoDevice otherwise.
std::uint16_t LookupDevice(const ChannelState& state, std::uint32_t dataType);

// 0 when AddressField holds the digits the data type asks for from position 3 on (4 for a word, 5
// for a bit), 1 otherwise (a non-digit, a padding space, or another data type).
std::uint8_t CheckDigits(const ChannelState& state, std::uint32_t dataType);

// NormalizeAddress and LookupDevice together, as the transactions use them: the CommandIndex, or
// kNoDevice when the text did not fit or names no device of the data type.
std::uint16_t ResolveAddress(ChannelState& state, const char* addressText, std::uint32_t dataType);

} // namespace protocol

#endif
