// Words and exit statuses for the driver's result codes.
#include "ResultWords.h"

#include "DyxDriver.h"

namespace host {
namespace {
constexpr int kExitUnknownResult = 70;
}

const std::array<ResultWords, 3> kResultWords = {{
    {DYX_DONE, "done", 0},
    {DYX_REFUSED, "refused: the address, data type or reply was not accepted", 1},
    {DYX_COMMUNICATION_FAILED, "communication failed: no answer from the controller, or the port did not open", 2},
}};

ResultWords WordsForResult(std::uint32_t result) {
    for (const ResultWords& row : kResultWords) {
        if (row.Result == result) {
            return row;
        }
    }
    return {result, "the driver returned a result it does not define", kExitUnknownResult};
}

int WorseExitStatus(int first, int second) {
    return first > second ? first : second;
}

} // namespace host
