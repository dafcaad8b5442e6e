// The Linux stand-in of the Win32 communications calls against real pseudo-terminals: time-outs,
// partial reads, purge, exclusive open, line settings a pseudo-terminal cannot take, hang-up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "SerialPort.h"
#include "Win32Comm.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A pseudo-terminal pair: the test plays the controller on the master side.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        char name[64];
        if (ptsname_r(master_, name, sizeof name) == 0) path_ = name;
    }
    ~PseudoTerminal() { CloseMaster(); }

    const std::string& Path() const { return path_; }
    void Send(const std::string& bytes) const {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    std::string Receive(std::size_t count) const {
        std::string bytes;
        while (bytes.size() < count) {
            pollfd ready = {master_, POLLIN, 0};
            if (poll(&ready, 1, 2000) <= 0) break;
            char chunk[256];
            const ssize_t got = read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (got <= 0) break;
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        return bytes;
    }
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string path_;
};

const SerialParams kPtyLine = {9600, 8, 0, 0};

class PosixCommTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(pty.Path().empty()); }
    void TearDown() override {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    void OpenConfigured() { ASSERT_EQ(serial::OpenPort(pty.Path().c_str(), kPtyLine, 8, &handle), serial::kSerialOk); }

    // Waits until the port reports at least count bytes waiting; false after two seconds.
    bool WaitForInput(DWORD count) {
        const auto start = Clock::now();
        while (MsSince(start) < 2000) {
            DWORD errors = 0;
            COMSTAT status{};
            if (ClearCommError(handle, &errors, &status) && status.cbInQue >= count) return true;
            std::this_thread::yield();
        }
        return false;
    }

    PseudoTerminal pty;
    HANDLE handle = nullptr;
};

TEST_F(PosixCommTest, ReadOfNothingReturnsAfterTheTotalTimeoutWithNoBytes) {
    OpenConfigured();
    serial::SetReadTimeout(handle, 5);
    char byte;
    DWORD received = 99;
    const auto start = Clock::now();
    EXPECT_TRUE(ReadFile(handle, &byte, 1, &received, nullptr));
    const long long elapsedMs = MsSince(start);
    EXPECT_EQ(received, 0u);
    EXPECT_GE(elapsedMs, 45);
    EXPECT_LT(elapsedMs, 5000);
    EXPECT_EQ(serial::ReadPort(handle, &byte, 1, nullptr), serial::kIoFailed);
}

TEST_F(PosixCommTest, ReadReturnsWhatArrivedWhenTheTimeoutRunsOut) {
    OpenConfigured();
    serial::SetReadTimeout(handle, 5);
    pty.Send("ab");
    char buffer[8] = {};
    DWORD received = 0;
    EXPECT_TRUE(ReadFile(handle, buffer, 4, &received, nullptr));
    EXPECT_EQ(received, 2u);
    EXPECT_EQ(std::string(buffer, 2), "ab");
}

TEST_F(PosixCommTest, ReadCollectsALineByteByByteAndLeavesTheRest) {
    OpenConfigured();
    pty.Send("00042\r\nmore");
    char buffer[8] = {};
    ASSERT_EQ(serial::ReadPort(handle, buffer, 7, nullptr), serial::kSerialOk);
    EXPECT_EQ(std::string(buffer, 7), "00042\r\n");
    ASSERT_TRUE(WaitForInput(4));
}

TEST_F(PosixCommTest, InputAlreadyTakenFromTheDeviceStillCountsAsWaitingAndIsPurged) {
    OpenConfigured();
    serial::SetReadTimeout(handle, 5);
    pty.Send("OK\r\nlate\r\n");
    ASSERT_TRUE(WaitForInput(10));
    char line[4] = {};
    ASSERT_EQ(serial::ReadPort(handle, line, 4, nullptr), serial::kSerialOk);
    EXPECT_EQ(std::string(line, 4), "OK\r\n");
    DWORD errors = 0;
    COMSTAT status{};
    ASSERT_TRUE(ClearCommError(handle, &errors, &status));
    EXPECT_EQ(status.cbInQue, 6u);
    EXPECT_EQ(serial::PurgeInput(handle), 0u);
    ASSERT_TRUE(ClearCommError(handle, &errors, &status));
    EXPECT_EQ(status.cbInQue, 0u);
    char byte;
    EXPECT_EQ(serial::ReadPort(handle, &byte, 1, nullptr), serial::kIoFailed);
}

TEST_F(PosixCommTest, AllZeroTimeoutsWaitUntilTheCountArrives) {
    OpenConfigured();
    COMMTIMEOUTS none = {0, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(handle, &none));
    std::thread controller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty.Send("x");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Send("yz");
    });
    char buffer[4] = {};
    DWORD received = 0;
    EXPECT_TRUE(ReadFile(handle, buffer, 3, &received, nullptr));
    controller.join();
    EXPECT_EQ(received, 3u);
    EXPECT_EQ(std::string(buffer, 3), "xyz");
}

TEST_F(PosixCommTest, PurgeDropsEverythingWaitingAndRestoresTheTimeout) {
    OpenConfigured();
    serial::SetReadTimeout(handle, 30);
    pty.Send(std::string(1000, 'p'));
    ASSERT_TRUE(WaitForInput(1000));
    EXPECT_EQ(serial::PurgeInput(handle), 0u);
    DWORD errors = 0;
    COMSTAT status{};
    ASSERT_TRUE(ClearCommError(handle, &errors, &status));
    EXPECT_EQ(status.cbInQue, 0u);
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(handle, &timeouts));
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 300u);
}

TEST_F(PosixCommTest, WrittenBytesReachTheLine) {
    OpenConfigured();
    std::uint32_t written = 0;
    EXPECT_EQ(serial::WritePort(handle, "RD DM1234\r", 10, &written), serial::kSerialOk);
    EXPECT_EQ(written, 10u);
    EXPECT_EQ(pty.Receive(10), "RD DM1234\r");
}

TEST_F(PosixCommTest, ExclusiveOpenHoldsAgainstEveryOtherOpenEvenAsRoot) {
    OpenConfigured();
    serial::Handle second = nullptr;
    EXPECT_EQ(serial::OpenPort(pty.Path().c_str(), kPtyLine, 8, &second), serial::kOpenFailed);
    ASSERT_TRUE(CloseHandle(handle));
    handle = nullptr;
    EXPECT_EQ(serial::OpenPort(pty.Path().c_str(), kPtyLine, 8, &second), serial::kSerialOk);
    handle = second;
}

TEST_F(PosixCommTest, MissingDeviceFailsToOpen) {
    serial::Handle missing = nullptr;
    EXPECT_EQ(serial::OpenPort("/dev/no-such-port", kPtyLine, 8, &missing), serial::kOpenFailed);
    EXPECT_EQ(serial::OpenPort("ttyNoSuch9", kPtyLine, 8, &missing), serial::kOpenFailed);
    EXPECT_EQ(serial::OpenPort("", kPtyLine, 8, &missing), serial::kOpenFailed);
}

TEST_F(PosixCommTest, NamesWithoutASlashAreDevicesUnderDev) {
    const std::string relative = pty.Path().substr(std::strlen("/dev/"));
    ASSERT_EQ(serial::OpenPort(relative.c_str(), kPtyLine, 8, &handle), serial::kSerialOk);
    EXPECT_TRUE(serial::WritePort(handle, "CR\r", 3, nullptr) == serial::kSerialOk);
    EXPECT_EQ(pty.Receive(3), "CR\r");
}

TEST_F(PosixCommTest, WindowsPortNamesMeanTheSerialPortsOfTheMachine) {
    HANDLE first = CreateFileA("/dev/ttyS0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (first == INVALID_HANDLE_VALUE) GTEST_SKIP() << "this machine has no usable /dev/ttyS0";
    // Exclusive opening shows that each spelling names the very device held open.
    for (const char* name : {"COM1", "com1", "\\\\.\\COM1"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
    }
    ASSERT_TRUE(CloseHandle(first));
    HANDLE again = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(again));
    EXPECT_EQ(CreateFileA("COM0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST_F(PosixCommTest, NullDeviceOpensTwiceWithoutConfiguration) {
    serial::Handle first = nullptr;
    serial::Handle second = nullptr;
    ASSERT_EQ(serial::OpenPort("NUL", kPtyLine, 8, &first), serial::kSerialOk);
    ASSERT_EQ(serial::OpenPort("NUL", kPtyLine, 8, &second), serial::kSerialOk);
    DCB dcb{};
    EXPECT_FALSE(GetCommState(first, &dcb));
    EXPECT_EQ(serial::ClosePort(first), serial::kSerialOk);
    EXPECT_EQ(serial::ClosePort(second), serial::kSerialOk);
}

TEST_F(PosixCommTest, PlainFileHasNoLineSettings) {
    char path[] = "/tmp/dyx-not-a-port-XXXXXX";
    const int descriptor = mkstemp(path);
    ASSERT_GE(descriptor, 0);
    close(descriptor);
    serial::Handle file = nullptr;
    EXPECT_EQ(serial::OpenPort(path, kPtyLine, 8, &file), serial::kSettingsUnreadable);
    unlink(path);
}

struct LineCase {
    SerialParams line;
    std::uint32_t result;
};

TEST_F(PosixCommTest, PseudoTerminalRefusesSettingsItCannotCarry) {
    const LineCase cases[] = {
        {{9600, 8, 0, 0}, serial::kSerialOk},        {{12345, 8, 0, 0}, serial::kSerialOk},
        {{65535, 8, 2, 0}, serial::kSerialOk},       {{300, 8, 0, 0}, serial::kSerialOk},
        {{9600, 8, 0, 2}, serial::kSettingsRefused}, {{9600, 8, 0, 1}, serial::kSettingsRefused},
        {{9600, 8, 0, 3}, serial::kSettingsRefused}, {{9600, 8, 0, 4}, serial::kSettingsRefused},
        {{9600, 7, 0, 0}, serial::kSettingsRefused}, {{9600, 9, 0, 0}, serial::kSettingsRefused},
        {{9600, 8, 1, 0}, serial::kSettingsRefused}, {{9600, 8, 0, 5}, serial::kSettingsRefused},
        {{0, 8, 0, 0}, serial::kSettingsRefused},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.line.Baud) + "," + std::to_string(c.line.DataBits) + "," +
                     std::to_string(c.line.StopBitsCode) + "," + std::to_string(c.line.ParityCode));
        serial::Handle port = nullptr;
        EXPECT_EQ(serial::OpenPort(pty.Path().c_str(), c.line, 8, &port), c.result);
        if (c.result == serial::kSerialOk) {
            DCB dcb{};
            ASSERT_TRUE(GetCommState(port, &dcb));
            EXPECT_EQ(dcb.BaudRate, c.line.Baud);
            EXPECT_EQ(dcb.ByteSize, 8);
            EXPECT_EQ(dcb.StopBits, c.line.StopBitsCode);
            EXPECT_EQ(dcb.Parity, NOPARITY);
            EXPECT_EQ(serial::ClosePort(port), serial::kSerialOk);
        }
    }
}

TEST_F(PosixCommTest, HandshakeAndLineControlSettingsAreAccepted) {
    for (std::uint16_t flags : {0x0008, 0x0101, 0x8000, 0x0202, 0x1000, 0x2000}) {
        SCOPED_TRACE(flags);
        serial::Handle port = nullptr;
        ASSERT_EQ(serial::OpenPort(pty.Path().c_str(), kPtyLine, flags, &port), serial::kSerialOk);
        EXPECT_EQ(serial::ClosePort(port), serial::kSerialOk);
    }
}

TEST_F(PosixCommTest, BreakGoesOnAndOff) {
    OpenConfigured();
    EXPECT_TRUE(SetCommBreak(handle));
    EXPECT_TRUE(ClearCommBreak(handle));
    EXPECT_EQ(serial::SendBreak(1, handle), 0u);
}

TEST_F(PosixCommTest, HangUpFailsAWaitingReadInsteadOfBlocking) {
    OpenConfigured();
    COMMTIMEOUTS none = {0, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(handle, &none));
    pty.CloseMaster();
    char byte;
    DWORD received = 0;
    EXPECT_FALSE(ReadFile(handle, &byte, 1, &received, nullptr));
    EXPECT_FALSE(WriteFile(handle, "x", 1, &received, nullptr));
}

} // namespace
