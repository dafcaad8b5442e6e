// The exported entry point and the function table it dispatches through.
#include <cstddef>

#include "DriverHandlers.h"
#include "Protocol.h"

#if defined(_WIN32)
#define DYX_EXPORT
#else
#define DYX_EXPORT __attribute__((visibility("default")))
#endif

namespace driver {
namespace {

using Handler = std::uint32_t (*)(const DriverRequest*);

// What a handler dereferences: a null State or Params where the handler needs one is refused rather
// than followed.
struct TableEntry {
    Handler Run;
    bool NeedsState;
    bool NeedsParams;
};

constexpr TableEntry kDriverFunctionTable[] = {
    {RefuseRequest, false, false},           // 0: no operation
    {OpenChannel, true, true},               // 1
    {protocol::OpenLink, true, false},       // 2
    {protocol::ValidateAddress, true, true}, // 3
    {RefuseRequest, false, false},           // 4
    {protocol::ReadItem, true, true},        // 5
    {RefuseRequest, false, false},           // 6
    {protocol::WriteItem, true, true},       // 7
    {RefuseRequest, false, false},           // 8: no operation
    {RefuseRequest, false, false},           // 9: no operation
    {RefuseRequest, false, false},           // 10
    {CloseChannel, true, false},             // 11
    {CloseChannel, true, false},             // 12
    {ReopenChannel, true, false},            // 13
    {DescribeDriver, false, true},           // 14
    {ReconfigureChannel, true, true},        // 15
};
constexpr std::size_t kFunctionCount = sizeof kDriverFunctionTable / sizeof kDriverFunctionTable[0];
static_assert(kFunctionCount == 16, "the function table has 16 entries");

} // namespace

std::uint32_t RefuseRequest(const DriverRequest*) {
    return DYX_REFUSED;
}

} // namespace driver

extern "C" DYX_EXPORT std::uint32_t DYX_CALL DyxMain(const DriverRequest* request) {
    using driver::kDriverFunctionTable;
    if (request == nullptr || request->FunctionCode >= driver::kFunctionCount) return DYX_REFUSED;
    const driver::TableEntry& entry = kDriverFunctionTable[request->FunctionCode];
    if ((entry.NeedsState && request->State == nullptr) || (entry.NeedsParams && request->Params == nullptr)) {
        return DYX_REFUSED;
    }
    return entry.Run(request);
}
