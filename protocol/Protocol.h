// Protocol layer: the controller's ASCII line protocol, the handlers of function codes 2, 3, 5 and 7.
// Each takes the host's request and returns DYX_DONE, DYX_REFUSED or DYX_COMMUNICATION_FAILED.
#ifndef DYX_PROTOCOL_H
#define DYX_PROTOCOL_H

#include <cstdint>

#include "DyxDriver.h"

namespace protocol {

// Code 2: purges the port's input when a port is open, then performs the "CR"/"CC" handshake (up to
// six attempts). 0 and LinkUp 1 when the controller answered "CC"; 2 otherwise, LinkUp unchanged.
// Reads only request->State.
std::uint32_t OpenLink(const DriverRequest* request);

// Code 3: normalises AddressParams.AddressText into the channel's AddressField and checks it against
// the low 8 bits of DataType (0 or 1 word: device code and 4 digits; 6 bit: device code and 5 digits).
// 0 with the five result words written (0, 0, 0, 255, 16); 1 (words untouched) for an unknown device,
// a data type other than 0, 1 and 6, a non-digit where a digit belongs, or a text of more than 8
// characters. Needs no port.
std::uint32_t ValidateAddress(const DriverRequest* request);

// Code 5: reads one item (ItemParams) into Item->Value, bringing the link up first while LinkUp is 0.
// 0 with Value written; 1 for an address without a read command or a reply of the wrong shape (Value
// untouched, except that the error-reset item "ER$" as a bit stores 0); 2 when the handshake failed or
// six attempts brought no complete reply line.
std::uint32_t ReadItem(const DriverRequest* request);

// Code 7: writes Item->Value to one item (ItemParams): a word, a bit (set only for the value 1) or the
// mode. 0 when the controller answered "OK"; 1 for an address without a write command, "RCC" with the
// value 1, or another answer; 2 when the handshake failed or six attempts brought no reply line.
// Item->Value is only read.
std::uint32_t WriteItem(const DriverRequest* request);

} // namespace protocol

#endif
