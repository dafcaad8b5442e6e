// The simulator's optional transcript: every line received and sent, bytes escaped, with times.
#ifndef KV_SIMULATOR_TRANSCRIPT_H
#define KV_SIMULATOR_TRANSCRIPT_H

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace simulator {

// Printable ASCII stays as it is, except '"' and '\\'; CR, LF and TAB become \r, \n and \t; every
// other byte becomes \xHH. So "RD DM0001\r" reads back exactly as it was on the line.
std::string EscapeBytes(std::string_view bytes);

class Transcript {
public:
    using Clock = std::chrono::steady_clock;

    Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;
    ~Transcript();

    // Starts writing to `path` (truncating it). Without a call to Open every record is dropped.
    bool Open(const std::string& path, std::string& error);

    // One line: seconds since start at `when`, the direction ("RX" or "TX"), the escaped bytes in
    // quotes, then `note` if it is not empty. Flushed at once so a reader can follow the file.
    void Record(Clock::time_point when, std::string_view direction, std::string_view bytes, std::string_view note = {});

    // One line of free text, such as the ready line or a fault that took effect.
    void Note(std::string_view text);

private:
    std::FILE* File = nullptr;
    Clock::time_point Start;
};

} // namespace simulator

#endif
