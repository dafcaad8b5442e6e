// A recording fake of the Win32 communications calls for unit tests: every call is logged with its
// arguments, and results, input bytes and controller replies are scripted. Never sleeps.
#ifndef DYX_FAKE_COMM_H
#define DYX_FAKE_COMM_H

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Win32Comm.h"

namespace fake {

// One step of what a read call meets: bytes that have arrived, a time-out with nothing (the read call
// succeeds with 0 bytes), or a failing read call.
struct ReadEvent {
    enum class Kind { Bytes, Timeout, Failure } What;
    std::string Data;

    static ReadEvent Bytes(std::string data) { return {Kind::Bytes, std::move(data)}; }
    static ReadEvent Timeout() { return {Kind::Timeout, {}}; }
    static ReadEvent Failure() { return {Kind::Failure, {}}; }
};
using Reply = std::vector<ReadEvent>;

struct Port {
    // Calls in order, each as "Name(arg,arg,...)".
    std::vector<std::string> Calls;
    // Every WriteFile's bytes, in order.
    std::vector<std::string> Writes;
    // Input waiting now, read first to last.
    std::deque<ReadEvent> Input;
    // Consumed one per WriteFile: what arrives in answer to that write (an empty Reply is silence).
    std::deque<Reply> Replies;
    // When no scripted reply is left: answer every write with this one, if set.
    bool RepeatLastReply = false;
    Reply LastReply;

    std::set<std::string> Devices = {"COM1", "COM2", "NUL"};
    std::map<HANDLE, std::string> OpenDevices; // handle -> device, for handles still open
    std::set<std::string> FailingCalls;        // names of calls that fail (return FALSE)
    DWORD ShortWriteBy = 0;                    // a write reports this many bytes fewer than asked
    DCB State{};                               // what GetCommState reports; SetCommState stores here
    COMMTIMEOUTS Timeouts{};                   // the handle's time-outs
    int HandlesMade = 0;
    int ReadCalls = 0;

    void Reset();
    // Everything handed to WriteFile, joined.
    std::string Written() const;
    // Names of the calls only, without arguments.
    std::vector<std::string> CallNames() const;
    void ClearLog();
};

// The fake behind the calls; tests reset it in their fixture.
Port& TheFake();

// Convenience: a reply line sent in one piece.
Reply Line(const std::string& text);

} // namespace fake

#endif
