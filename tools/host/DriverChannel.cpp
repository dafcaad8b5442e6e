// Builds the request records for each DyxMain call of dyx_host.
#include "DriverChannel.h"

namespace host {

std::uint32_t DriverChannel::Describe(DriverDescription& description) const {
    DriverRequest request{};
    request.FunctionCode = DYX_DESCRIBE_DRIVER;
    request.Params = &description;
    return Entry(&request);
}

void DriverChannel::AllocateState(std::uint32_t stateSize) {
    // make_unique value-initialises the bytes, and array new aligns them for any record.
    State = std::make_unique<unsigned char[]>(stateSize);
}

std::uint32_t DriverChannel::Call(std::uint32_t functionCode, void* params) {
    DriverRequest request{};
    request.State = reinterpret_cast<ChannelState*>(State.get());
    request.FunctionCode = functionCode;
    request.Params = params;
    return Entry(&request);
}

std::uint32_t DriverChannel::Open(const OpenParams& params) {
    OpenParams copy = params;
    return Call(DYX_OPEN_CHANNEL, &copy);
}

std::uint32_t DriverChannel::OpenLink() {
    return Call(DYX_OPEN_LINK, nullptr);
}

std::uint32_t DriverChannel::ValidateAddress(const std::string& address, std::uint32_t dataType) {
    AddressParams params{};
    params.AddressText = address.c_str();
    params.DataType = dataType;
    return Call(DYX_VALIDATE_ADDRESS, &params);
}

std::uint32_t DriverChannel::Read(const std::string& address, std::uint32_t dataType, std::uint16_t& value) {
    ItemValue item{};
    ItemParams params{};
    params.AddressText = address.c_str();
    params.DataType = dataType;
    params.Item = &item;
    const std::uint32_t result = Call(DYX_READ_ITEM, &params);
    value = item.Value;
    return result;
}

std::uint32_t DriverChannel::Write(const std::string& address, std::uint32_t dataType, std::uint16_t value) {
    ItemValue item{};
    item.Value = value;
    ItemParams params{};
    params.AddressText = address.c_str();
    params.DataType = dataType;
    params.Item = &item;
    return Call(DYX_WRITE_ITEM, &params);
}

std::uint32_t DriverChannel::Close() {
    return Call(DYX_CLOSE_CHANNEL, nullptr);
}

} // namespace host
