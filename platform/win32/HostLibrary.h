// The host runtime's library TARNEL.DLL as the Windows build imports it: err, by name.
#ifndef DYX_HOST_LIBRARY_H
#define DYX_HOST_LIBRARY_H

extern "C" int __cdecl err(int level, const char* format, ...);

namespace host {
inline constexpr int(__cdecl* HostErr)(int, const char*, ...) = &err;
}

#endif
