// The host library as the Linux build imports it. Its call has a name of its own, TarnelErr, so the
// report can never reach the C library's err(3), which would end the host process.
#ifndef DYX_HOST_LIBRARY_H
#define DYX_HOST_LIBRARY_H

extern "C" int TarnelErr(int level, const char* format, ...);

namespace host {
inline constexpr int (*HostErr)(int, const char*, ...) = &TarnelErr;
}

#endif
