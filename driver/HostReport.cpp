// Reports a failed open through the host library's formatted-message call.
#include "HostReport.h"

#include "DriverHandlers.h"
#include "HostLibrary.h"

namespace driver {

void ReportOpenFailure(const char* portName) {
    host::HostErr(kOpenFailureLevel, kOpenFailureFormat, kDriverName, portName);
}

} // namespace driver
