// Calls a driver entry point with one argument and measures what the call did to the stack pointer and
// to the registers a callee must preserve, so that a calling-convention mismatch shows as a finding
// instead of silently corrupting the test host.
#ifndef DYX_WINE_STACK_CHECKED_CALL_H
#define DYX_WINE_STACK_CHECKED_CALL_H

#include <cstdint>

#include "DyxDriver.h"

namespace winetest {

using EntryPoint = std::uint32_t(__stdcall*)(const DriverRequest*);

// Bits of StackReport::ClobberedRegisters: which callee-saved register came back changed.
constexpr std::uint32_t kClobberedEbx = 1;
constexpr std::uint32_t kClobberedEsi = 2;
constexpr std::uint32_t kClobberedEdi = 4;
constexpr std::uint32_t kClobberedEbp = 8;

struct StackReport {
    // Stack pointer after the call minus the stack pointer before the argument was pushed: 0 when the
    // callee removed its one argument (stdcall), -4 when it left it for the caller (cdecl).
    std::int32_t StackDelta;
    std::uint32_t ClobberedRegisters;
};

// Pushes `request`, calls `entry`, and fills `report`. Whatever the callee did to the stack, the
// caller's stack pointer is restored from a saved copy, so a wrong convention is measured, not masked
// and not fatal. Returns the callee's EAX.
extern "C" std::uint32_t CallWithStackCheck(EntryPoint entry, const DriverRequest* request, StackReport* report);

} // namespace winetest

#endif
