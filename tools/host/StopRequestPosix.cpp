// Stop requests on Linux: SIGINT and SIGTERM are blocked while watching and taken with sigtimedwait.
#include "StopRequest.h"

#include <signal.h>

#include <ctime>

namespace host {
namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

sigset_t gPreviousMask;

} // namespace

StopRequest::StopRequest() {
    const sigset_t signals = StopSignals();
    sigprocmask(SIG_BLOCK, &signals, &gPreviousMask);
}

StopRequest::~StopRequest() {
    sigprocmask(SIG_SETMASK, &gPreviousMask, nullptr);
}

bool StopRequest::WaitFor(std::uint32_t waitMs) {
    const sigset_t signals = StopSignals();
    const timespec wait{static_cast<time_t>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000000L};
    return sigtimedwait(&signals, nullptr, &wait) > 0;
}

} // namespace host
