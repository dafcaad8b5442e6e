// The common start of the read and write transactions: link first, then the address.
#include "DeviceAddress.h"
#include "LineExchange.h"
#include "Transactions.h"

namespace protocol {

std::uint32_t StartItemTransaction(ChannelState& state, const ItemParams& params, std::uint16_t* commandIndex) {
    if (params.AddressText == nullptr || params.Item == nullptr) return DYX_REFUSED;
    // The link comes first, before the address is even looked at: a silent controller gives 2 for
    // every item, valid or not.
    if (state.LinkUp == 0) {
        const std::uint8_t linkResult = EstablishLink(state);
        if (linkResult != kLinkUp) return linkResult;
    }
    *commandIndex = ResolveAddress(state, params.AddressText, params.DataType);
    return DYX_DONE;
}

} // namespace protocol
