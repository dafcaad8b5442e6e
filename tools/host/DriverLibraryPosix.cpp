// dlopen-based loading of the driver library for dyx_host on Linux.
#include "DriverLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {
namespace {

constexpr const char* kLibraryFileName = "DYXWNKV.so";

[[maybe_unused]] bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

} // namespace

DriverLibrary::~DriverLibrary() {
    if (Handle != nullptr) {
        dlclose(Handle);
    }
}

bool DriverLibrary::Load(const std::string& path, std::string& error) {
    // RTLD_GLOBAL puts the host runtime's library, which the driver links against, in the global
    // scope too, where the recorded messages are looked up.
    Handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (Handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot load " + path;
        return false;
    }
    EntryPoint = reinterpret_cast<DyxEntry>(dlsym(Handle, "DyxMain"));
    if (EntryPoint == nullptr) {
        error = path + " does not export DyxMain";
        return false;
    }
    return true;
}

void* DriverLibrary::FindSymbol(const char* name) const {
    void* symbol = Handle != nullptr ? dlsym(Handle, name) : nullptr;
    return symbol != nullptr ? symbol : dlsym(RTLD_DEFAULT, name);
}

std::string DefaultLibraryPath() {
#ifdef DYX_DEFAULT_LIBRARY
    if (FileExists(DYX_DEFAULT_LIBRARY)) {
        return DYX_DEFAULT_LIBRARY;
    }
#endif
    char executable[4096];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
    if (length <= 0) {
        return kLibraryFileName;
    }
    std::string directory(executable, static_cast<std::size_t>(length));
    directory.resize(directory.rfind('/') + 1);
    return directory + kLibraryFileName;
}

} // namespace host
