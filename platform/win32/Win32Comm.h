// Win32 communications calls for the Windows build: the system's own.
#ifndef DYX_WIN32_COMM_H
#define DYX_WIN32_COMM_H

#include <windows.h>

#endif
