// Recording fake of the Win32 communications calls.
#include "FakeComm.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace fake {
namespace {

Port gPort;
constexpr std::uintptr_t kFirstHandle = 0x1000;

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

void Log(std::string call) {
    gPort.Calls.push_back(std::move(call));
}

bool Fails(const char* name) {
    return gPort.FailingCalls.count(name) != 0;
}

bool Valid(HANDLE handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && value >= kFirstHandle;
}

std::size_t WaitingBytes() {
    std::size_t waiting = 0;
    for (const ReadEvent& event : gPort.Input) {
        if (event.What != ReadEvent::Kind::Bytes) break;
        waiting += event.Data.size();
    }
    return waiting;
}

} // namespace

void Port::Reset() {
    *this = Port();
}

std::string Port::Written() const {
    std::string all;
    for (const std::string& write : Writes) all += write;
    return all;
}

std::vector<std::string> Port::CallNames() const {
    std::vector<std::string> names;
    for (const std::string& call : Calls) names.push_back(call.substr(0, call.find('(')));
    return names;
}

void Port::ClearLog() {
    Calls.clear();
    Writes.clear();
}

Port& TheFake() {
    return gPort;
}

Reply Line(const std::string& text) {
    return {ReadEvent::Bytes(text)};
}

} // namespace fake

using fake::gPort;
using fake::ReadEvent;

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD flags,
                   HANDLE) {
    fake::Log(std::string("CreateFileA(") + name + "," + fake::Hex(access) + "," + std::to_string(shareMode) + "," +
              std::to_string(disposition) + "," + fake::Hex(flags) + ")");
    if (fake::Fails("CreateFileA") || gPort.Devices.count(name) == 0) return INVALID_HANDLE_VALUE;
    for (const auto& open : gPort.OpenDevices) {
        if (shareMode == 0 && open.second == name) return INVALID_HANDLE_VALUE;
    }
    ++gPort.HandlesMade;
    HANDLE handle = reinterpret_cast<HANDLE>(fake::kFirstHandle + gPort.HandlesMade);
    gPort.OpenDevices[handle] = name;
    return handle;
}

BOOL CloseHandle(HANDLE handle) {
    fake::Log("CloseHandle()");
    if (!fake::Valid(handle) || fake::Fails("CloseHandle")) return FALSE;
    return gPort.OpenDevices.erase(handle) == 1;
}

BOOL GetCommState(HANDLE handle, DCB* dcb) {
    fake::Log("GetCommState(" + std::to_string(dcb->DCBlength) + ")");
    if (!fake::Valid(handle) || fake::Fails("GetCommState")) return FALSE;
    const DWORD length = dcb->DCBlength;
    *dcb = gPort.State;
    dcb->DCBlength = length;
    return TRUE;
}

BOOL SetCommState(HANDLE handle, DCB* dcb) {
    fake::Log("SetCommState(" + std::to_string(dcb->BaudRate) + "," + std::to_string(dcb->ByteSize) + "," +
              std::to_string(dcb->StopBits) + "," + std::to_string(dcb->Parity) +
              ",dtr=" + std::to_string(dcb->fDtrControl) + ",rts=" + std::to_string(dcb->fRtsControl) + ")");
    if (!fake::Valid(handle) || fake::Fails("SetCommState")) return FALSE;
    gPort.State = *dcb;
    return TRUE;
}

BOOL GetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) {
    fake::Log("GetCommTimeouts()");
    if (!fake::Valid(handle) || fake::Fails("GetCommTimeouts")) return FALSE;
    *timeouts = gPort.Timeouts;
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) {
    fake::Log("SetCommTimeouts(" + std::to_string(timeouts->ReadIntervalTimeout) + "," +
              std::to_string(timeouts->ReadTotalTimeoutMultiplier) + "," +
              std::to_string(timeouts->ReadTotalTimeoutConstant) + "," +
              std::to_string(timeouts->WriteTotalTimeoutMultiplier) + "," +
              std::to_string(timeouts->WriteTotalTimeoutConstant) + ")");
    if (!fake::Valid(handle) || fake::Fails("SetCommTimeouts")) return FALSE;
    gPort.Timeouts = *timeouts;
    return TRUE;
}

BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) {
    fake::Log("SetupComm(" + std::to_string(inQueue) + "," + std::to_string(outQueue) + ")");
    return fake::Valid(handle) && !fake::Fails("SetupComm");
}

BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) {
    fake::Log("ClearCommError()");
    if (!fake::Valid(handle) || fake::Fails("ClearCommError")) return FALSE;
    *errors = 0;
    status->cbInQue = static_cast<DWORD>(fake::WaitingBytes());
    return TRUE;
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* received, OVERLAPPED*) {
    fake::Log("ReadFile(" + std::to_string(count) + ")");
    ++gPort.ReadCalls;
    *received = 0;
    if (!fake::Valid(handle) || fake::Fails("ReadFile")) return FALSE;
    if (gPort.Input.empty()) return TRUE;
    ReadEvent& event = gPort.Input.front();
    if (event.What == ReadEvent::Kind::Failure) {
        gPort.Input.pop_front();
        return FALSE;
    }
    if (event.What == ReadEvent::Kind::Timeout) {
        gPort.Input.pop_front();
        return TRUE;
    }
    const DWORD taken = std::min<DWORD>(count, static_cast<DWORD>(event.Data.size()));
    std::memcpy(buffer, event.Data.data(), taken);
    event.Data.erase(0, taken);
    if (event.Data.empty()) gPort.Input.pop_front();
    *received = taken;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* written, OVERLAPPED*) {
    const std::string bytes(static_cast<const char*>(buffer), count);
    fake::Log("WriteFile(" + std::to_string(count) + ")");
    if (!fake::Valid(handle) || fake::Fails("WriteFile")) return FALSE;
    gPort.Writes.push_back(bytes);
    *written = count - std::min(count, gPort.ShortWriteBy);
    fake::Reply answer;
    if (!gPort.Replies.empty()) {
        answer = gPort.Replies.front();
        gPort.Replies.pop_front();
    } else if (gPort.RepeatLastReply) {
        answer = gPort.LastReply;
    }
    for (ReadEvent& event : answer) gPort.Input.push_back(event);
    return TRUE;
}

BOOL SetCommBreak(HANDLE handle) {
    fake::Log("SetCommBreak()");
    return fake::Valid(handle);
}

BOOL ClearCommBreak(HANDLE handle) {
    fake::Log("ClearCommBreak()");
    return fake::Valid(handle);
}

void Sleep(DWORD milliseconds) {
    fake::Log("Sleep(" + std::to_string(milliseconds) + ")");
}
