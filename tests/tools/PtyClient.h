// Test support: a small client of the simulator's device, in raw mode, with bounded reads. It
// shares nothing with the driver: it is the test's own view of the line.
#ifndef DYX_TOOLS_TESTS_PTY_CLIENT_H
#define DYX_TOOLS_TESTS_PTY_CLIENT_H

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace toolstest {

// Only a broken simulator makes a read wait this long.
constexpr std::chrono::milliseconds kReplyLimit{5000};

class PtyClient {
public:
    explicit PtyClient(const std::string& devicePath);
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;
    ~PtyClient();

    bool IsOpen() const { return Fd >= 0; }
    void Close();

    // Writes all of `bytes`.
    void Send(std::string_view bytes);

    // Reads exactly `count` bytes, or what came before `limit` passed or the line hung up.
    std::string ReadBytes(std::size_t count, std::chrono::milliseconds limit = kReplyLimit);

    // Reads up to and including the next LF, or what came before `limit` or a hang-up.
    std::string ReadLine(std::chrono::milliseconds limit = kReplyLimit);

    // Sends `command` and a CR and returns the reply line (up to its LF).
    std::string Exchange(std::string_view command);

    // True once a read found the other side gone (end of file or EIO).
    bool HungUp() const { return SawHangUp; }

    // Number of read calls that returned data, to see how a reply was split.
    std::size_t ReadCalls() const { return DataReads; }

private:
    bool ReadSome(std::string& into, std::size_t most, std::chrono::steady_clock::time_point deadline);

    int Fd = -1;
    bool SawHangUp = false;
    std::size_t DataReads = 0;
};

} // namespace toolstest

#endif
