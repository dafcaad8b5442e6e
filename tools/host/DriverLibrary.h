// Loading the driver library at run time and finding its entry point, as a real host does.
// The only platform-specific part of dyx_host: a Windows build adds its LoadLibrary branch here.
#ifndef DYX_HOST_DRIVER_LIBRARY_H
#define DYX_HOST_DRIVER_LIBRARY_H

#include <string>
#include <vector>

#include "DyxDriver.h"

namespace host {

using DyxEntry = uint32_t(DYX_CALL*)(const DriverRequest*);

class DriverLibrary {
public:
    DriverLibrary() = default;
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;
    ~DriverLibrary();

    // Loads the library at `path` and finds DyxMain. Returns false with the loader's reason in `error`.
    bool Load(const std::string& path, std::string& error);

    DyxEntry Entry() const { return EntryPoint; }

    // How many messages the host runtime's stand-in library has recorded (the driver reports a port
    // it cannot open there); 0 when no such library is loaded.
    int HostMessageCount() const;
    // The recorded message at `index` (0 is the first), or an empty text.
    std::string HostMessage(int index) const;

private:
    void* FindSymbol(const char* name) const;

    void* Handle = nullptr;
    DyxEntry EntryPoint = nullptr;
};

// The library dyx_host loads without --library: the one the build made, when it is there, else
// DYXWNKV.so in the directory of the running executable.
std::string DefaultLibraryPath();

} // namespace host

#endif
