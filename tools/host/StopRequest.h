// A stop asked for by the user (Ctrl-C, or SIGTERM on Linux) while dyx_host watches; each platform
// has its own implementation, chosen by the build.
#ifndef DYX_HOST_STOP_REQUEST_H
#define DYX_HOST_STOP_REQUEST_H

#include <cstdint>

namespace host {

// While it lives, a stop request no longer ends the process: it is kept for WaitFor to take.
class StopRequest {
public:
    StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;
    ~StopRequest();

    // Waits up to waitMs; true as soon as a stop has been asked for (also before the call).
    bool WaitFor(std::uint32_t waitMs);
};

} // namespace host

#endif
