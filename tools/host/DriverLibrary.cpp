// What dyx_host reads from the host library stand-in, the same on every platform; finding the symbols
// is the platform's part (DriverLibraryPosix.cpp, DriverLibraryWindows.cpp).
#include "DriverLibrary.h"

namespace host {
namespace {

using MessageCountFunction = int (*)();
using MessageTextFunction = const char* (*)(int);

} // namespace

int DriverLibrary::HostMessageCount() const {
    const auto count = reinterpret_cast<MessageCountFunction>(FindSymbol("TarnelMessageCount"));
    return count != nullptr ? count() : 0;
}

std::string DriverLibrary::HostMessage(int index) const {
    const auto text = reinterpret_cast<MessageTextFunction>(FindSymbol("TarnelMessageText"));
    const char* message = text != nullptr ? text(index) : nullptr;
    return message != nullptr ? message : "";
}

} // namespace host
