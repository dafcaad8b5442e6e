// A code-5 or code-7 request with its parameter block and a host value record with guard bytes.
#ifndef DYX_ITEM_REQUEST_H
#define DYX_ITEM_REQUEST_H

#include <cstring>
#include <string>

#include "DyxDriver.h"

struct ItemRequest {
    ItemRequest(ChannelState& state, std::uint32_t functionCode, const std::string& address, std::uint32_t dataType,
                std::uint16_t value)
        : text(address) {
        std::memset(&params, 0, sizeof params);
        std::memset(host, 0xA5, sizeof host);
        params.AddressText = text.c_str();
        params.DataType = dataType;
        params.Item = reinterpret_cast<ItemValue*>(host + kGuard);
        params.Item->Value = value;
        request = {&state, functionCode, {0, 0}, &params};
    }

    std::uint16_t Value() const { return params.Item->Value; }

    // True when every byte of the host's record but Value still holds its pattern.
    bool GuardsIntact() const {
        for (std::size_t i = 0; i < sizeof host; ++i) {
            if ((i == kGuard + 2 || i == kGuard + 3)) continue;
            if (host[i] != 0xA5) return false;
        }
        return true;
    }

    static constexpr std::size_t kGuard = 8;
    std::string text;
    ItemParams params;
    alignas(4) unsigned char host[kGuard + 4 + kGuard];
    DriverRequest request;
};

#endif
