// Stand-in for the host runtime's library: records each report it is given.
#include "Tarnel.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kKeptReports = 16;
constexpr int kTextBytes = 256;
constexpr int kFormatBytes = 64;

struct Report {
    int Level;
    char Format[kFormatBytes];
    char Text[kTextBytes];
};

Report gReports[kKeptReports];
int gReportCount;

const Report* Kept(int index) {
    if (index < 0 || index >= gReportCount || index < gReportCount - kKeptReports) return nullptr;
    return &gReports[index % kKeptReports];
}

} // namespace

extern "C" {

int TarnelErr(int level, const char* format, ...) {
    Report& report = gReports[gReportCount % kKeptReports];
    report.Level = level;
    std::snprintf(report.Format, sizeof report.Format, "%s", format);
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(report.Text, sizeof report.Text, format, arguments);
    va_end(arguments);
    ++gReportCount;

    const char* logPath = std::getenv("TARNEL_LOG");
    if (logPath != nullptr && logPath[0] != '\0') {
        if (std::FILE* log = std::fopen(logPath, "a")) {
            std::fprintf(log, "%d|%s|%s\n", report.Level, report.Format, report.Text);
            std::fclose(log);
        }
    }
    return 0;
}

int TarnelMessageCount(void) {
    return gReportCount;
}

const char* TarnelMessageText(int index) {
    const Report* report = Kept(index);
    return report != nullptr ? report->Text : nullptr;
}

int TarnelMessageLevel(int index) {
    const Report* report = Kept(index);
    return report != nullptr ? report->Level : -1;
}

const char* TarnelMessageFormat(int index) {
    const Report* report = Kept(index);
    return report != nullptr ? report->Format : nullptr;
}

void TarnelReset(void) {
    gReportCount = 0;
}
}
