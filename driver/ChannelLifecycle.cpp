// Channel lifecycle (codes 1, 11, 12, 13, 15): the channel's port, opened and closed through the
// serial layer.
#include <cstring>

#include "DriverHandlers.h"
#include "HostReport.h"

namespace driver {
namespace {

constexpr std::size_t kPortNameBytes = sizeof(PortSettings::PortName);

bool HasTerminator(const char (&portName)[kPortNameBytes]) {
    return std::memchr(portName, '\0', kPortNameBytes) != nullptr;
}

// Copies a name up to its NUL and clears the bytes behind it.
void CopyPortName(const char (&source)[kPortNameBytes], char (&destination)[kPortNameBytes]) {
    const std::size_t length = std::strlen(source);
    std::memcpy(destination, source, length);
    std::memset(destination + length, 0, kPortNameBytes - length);
}

// Stores a newly opened handle. A different port the channel still held is closed rather than lost:
// nothing could ever close it afterwards.
void AdoptHandle(ChannelState& state, serial::Handle handle) {
    if (state.PortHandle != nullptr && state.PortHandle != handle) serial::ClosePort(state.PortHandle);
    state.PortHandle = handle;
}

std::uint32_t ClosePortOf(ChannelState& state) {
    if (state.PortHandle == nullptr) return DYX_DONE;
    if (serial::ClosePort(state.PortHandle) != serial::kSerialOk) return DYX_COMMUNICATION_FAILED;
    state.PortHandle = nullptr;
    return DYX_DONE;
}

} // namespace

serial::Handle OpenPortFromSettings(const PortSettings& settings) {
    if (!HasTerminator(settings.PortName)) return nullptr;
    serial::Handle handle = nullptr;
    if (serial::OpenPort(settings.PortName, settings.SerialParams, settings.OpenFlags, &handle) != serial::kSerialOk) {
        return nullptr;
    }
    return handle;
}

std::uint32_t OpenChannel(const DriverRequest* request) {
    ChannelState& state = *request->State;
    const auto& params = *static_cast<const OpenParams*>(request->Params);
    if (!HasTerminator(params.PortName)) return DYX_COMMUNICATION_FAILED;
    state.PortEnabled = params.PortEnabled;
    state.LinkUp = 0;
    if (params.PortEnabled == 0) return DYX_DONE;

    PortSettings settings;
    CopyPortName(params.PortName, settings.PortName);
    settings.SerialParams = params.SerialParams;
    settings.OpenFlags = kDriverOpenFlags;
    serial::Handle handle = OpenPortFromSettings(settings);
    if (handle == nullptr) {
        ReportOpenFailure(params.PortName);
        return DYX_COMMUNICATION_FAILED;
    }
    AdoptHandle(state, handle);
    std::uint32_t readTimeoutTenMs = params.ReadTimeout != 0 ? params.ReadTimeout : kDefaultReadTimeoutTenMs;
    if (readTimeoutTenMs > kLongestReadTimeoutTenMs) readTimeoutTenMs = kLongestReadTimeoutTenMs;
    serial::SetReadTimeout(handle, static_cast<std::int32_t>(readTimeoutTenMs));
    state.PortSettings = settings;
    state.ReadTimeout = readTimeoutTenMs;
    return DYX_DONE;
}

std::uint32_t CloseChannel(const DriverRequest* request) {
    return ClosePortOf(*request->State);
}

std::uint32_t ReopenChannel(const DriverRequest* request) {
    ChannelState& state = *request->State;
    serial::Handle handle = OpenPortFromSettings(state.PortSettings);
    if (handle == nullptr) return DYX_COMMUNICATION_FAILED;
    state.PortEnabled = 1;
    AdoptHandle(state, handle);
    return DYX_DONE;
}

std::uint32_t ReconfigureChannel(const DriverRequest* request) {
    ChannelState& state = *request->State;
    const auto& params = *static_cast<const ReconfigureParams*>(request->Params);
    if (!HasTerminator(params.PortName)) return DYX_COMMUNICATION_FAILED;
    if (params.ReadTimeout != 0) state.ReadTimeout = params.ReadTimeout;
    if (std::strncmp(params.PortName, state.PortSettings.PortName, kPortNameBytes) != 0) {
        // A refused close does not stop the move to the new port.
        ClosePortOf(state);
    }
    CopyPortName(params.PortName, state.PortSettings.PortName);
    state.PortSettings.SerialParams = params.SerialParams;
    serial::Handle handle = OpenPortFromSettings(state.PortSettings);
    if (handle == nullptr) return DYX_COMMUNICATION_FAILED;
    AdoptHandle(state, handle);
    return DYX_DONE;
}

} // namespace driver
