// Stop requests on Windows: a console control handler (Ctrl-C, Ctrl-Break, close) sets an event.
#include "StopRequest.h"

#include <windows.h>

namespace host {
namespace {

HANDLE gStopEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) {
    SetEvent(gStopEvent);
    return TRUE;
}

} // namespace

StopRequest::StopRequest() {
    gStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopRequest::~StopRequest() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    CloseHandle(gStopEvent);
    gStopEvent = nullptr;
}

bool StopRequest::WaitFor(std::uint32_t waitMs) {
    return WaitForSingleObject(gStopEvent, waitMs) == WAIT_OBJECT_0;
}

} // namespace host
