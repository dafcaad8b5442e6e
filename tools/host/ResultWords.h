// The one table that turns the driver's result codes into words and exit statuses for dyx_host.
#ifndef DYX_HOST_RESULT_WORDS_H
#define DYX_HOST_RESULT_WORDS_H

#include <array>
#include <cstdint>

namespace host {

// Exit statuses of dyx_host beyond those of the result table.
constexpr int kExitUsage = 64;
constexpr int kExitLibraryUnavailable = 69;

struct ResultWords {
    std::uint32_t Result;
    const char* Words;
    int ExitStatus;
};

// One row per result the driver defines: 0 done, 1 refused, 2 communication failure.
extern const std::array<ResultWords, 3> kResultWords;

// The row for `result`; a value the driver does not define gets a row of its own that says so,
// with exit status 70.
ResultWords WordsForResult(std::uint32_t result);

// The more serious of two exit statuses that came from the result table: 2 over 1 over 0.
int WorseExitStatus(int first, int second);

} // namespace host

#endif
