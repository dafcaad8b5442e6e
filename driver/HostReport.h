// The one report the driver makes to its host on its own: a port that code 1 could not open.
#ifndef DYX_HOST_REPORT_H
#define DYX_HOST_REPORT_H

namespace driver {

constexpr int kOpenFailureLevel = 32;
constexpr char kOpenFailureFormat[] = "DYX%s : Fail to open %s";

// Calls the host library's err once with the level 32, the format, the driver's name and portName.
void ReportOpenFailure(const char* portName);

} // namespace driver

#endif
