// Fuzz targets: reads the recording fake's call log without copying it.
#ifndef DYX_FUZZ_FAKE_CALLS_H
#define DYX_FUZZ_FAKE_CALLS_H

#include <cstring>
#include <string>

#include "FakeComm.h"

namespace fuzz {

// How many calls of the platform function `name` the fake logged since its log was last cleared,
// refused ones included.
inline int CountCalls(const fake::Port& port, const char* name) {
    const std::size_t length = std::strlen(name);
    int count = 0;
    for (const std::string& call : port.Calls) {
        if (call.size() > length && call.compare(0, length, name) == 0 && call[length] == '(') ++count;
    }
    return count;
}

} // namespace fuzz

#endif
