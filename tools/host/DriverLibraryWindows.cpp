// LoadLibrary-based loading of the driver DLL for dyx_host on Windows.
#include "DriverLibrary.h"

#include <windows.h>

namespace host {
namespace {

constexpr const char* kLibraryFileName = "DYXWNKV.dll";
constexpr const char* kHostLibraryName = "TARNEL.DLL";

} // namespace

DriverLibrary::~DriverLibrary() {
    if (Handle != nullptr) {
        FreeLibrary(static_cast<HMODULE>(Handle));
    }
}

bool DriverLibrary::Load(const std::string& path, std::string& error) {
    Handle = LoadLibraryA(path.c_str());
    if (Handle == nullptr) {
        error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    // Through the generic function pointer type, which converts to any other without complaint.
    const auto symbol = reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(Handle), "DyxMain"));
    EntryPoint = reinterpret_cast<DyxEntry>(symbol);
    if (EntryPoint == nullptr) {
        error = path + " does not export DyxMain";
        return false;
    }
    return true;
}

// The recording functions live in the host library the driver imports, loaded with it.
void* DriverLibrary::FindSymbol(const char* name) const {
    HMODULE hostLibrary = GetModuleHandleA(kHostLibraryName);
    return hostLibrary != nullptr
               ? reinterpret_cast<void*>(reinterpret_cast<void (*)()>(GetProcAddress(hostLibrary, name)))
               : nullptr;
}

std::string DefaultLibraryPath() {
    char executable[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, executable, sizeof executable);
    if (length == 0 || length >= sizeof executable) {
        return kLibraryFileName;
    }
    std::string directory(executable, length);
    directory.resize(directory.find_last_of("\\/") + 1);
    return directory + kLibraryFileName;
}

} // namespace host
