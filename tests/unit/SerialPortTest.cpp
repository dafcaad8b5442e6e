// Serial layer against the recording fake: the exact platform calls of each operation and its results.
#include <gtest/gtest.h>

#include "FakePortFixture.h"

namespace {

using fake::ReadEvent;
using Calls = std::vector<std::string>;

const SerialParams kLine = {9600, 8, 0, 2};
const std::string kCreateCom1 = "CreateFileA(COM1,0xC0000000,0,3,0x80)";

class SerialPortTest : public FakePortTest {};

TEST_F(SerialPortTest, OpenConfiguresInOrderReadTimeoutsLineQueues) {
    serial::Handle handle = nullptr;
    ASSERT_EQ(serial::OpenPort("COM1", kLine, 8, &handle), serial::kSerialOk);
    EXPECT_NE(handle, nullptr);
    EXPECT_EQ(Fake().Calls, (Calls{kCreateCom1, "GetCommState(28)", "SetCommTimeouts(0,0,1000,0,0)",
                                   "SetCommState(9600,8,0,2,dtr=0,rts=0)", "SetupComm(1200,1200)"}));
    const DCB& dcb = Fake().State;
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow | dcb.fOutxDsrFlow | dcb.fDsrSensitivity | dcb.fOutX | dcb.fInX, 0u);
    EXPECT_EQ(dcb.fErrorChar | dcb.fNull | dcb.fAbortOnError, 0u);
    EXPECT_EQ(static_cast<unsigned char>(dcb.ErrorChar), 0xFC);
}

TEST_F(SerialPortTest, OpenKeepsFieldsItDoesNotSet) {
    Fake().State.XonChar = 0x11;
    Fake().State.XoffChar = 0x13;
    Fake().State.XonLim = 77;
    Fake().State.EofChar = 0x1A;
    Fake().State.fTXContinueOnXoff = 1;
    serial::Handle handle = nullptr;
    ASSERT_EQ(serial::OpenPort("COM1", {19200, 7, 2, 1}, 8, &handle), serial::kSerialOk);
    const DCB& dcb = Fake().State;
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, 2);
    EXPECT_EQ(dcb.Parity, 1);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.XonLim, 77);
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
}

TEST_F(SerialPortTest, NullDeviceOpensWithoutConfiguration) {
    serial::Handle handle = nullptr;
    ASSERT_EQ(serial::OpenPort("NUL", kLine, 8, &handle), serial::kSerialOk);
    EXPECT_EQ(Fake().Calls, (Calls{"CreateFileA(NUL,0xC0000000,0,3,0x80)"}));
}

TEST_F(SerialPortTest, OtherSpellingsOfNullAreConfigured) {
    for (const char* name : {"nul", "NUL:"}) {
        SCOPED_TRACE(name);
        Fake().Reset();
        Fake().Devices.insert(name);
        serial::Handle handle = nullptr;
        ASSERT_EQ(serial::OpenPort(name, kLine, 8, &handle), serial::kSerialOk);
        EXPECT_EQ(Fake().CallNames(),
                  (Calls{"CreateFileA", "GetCommState", "SetCommTimeouts", "SetCommState", "SetupComm"}));
    }
}

struct OpenFailureCase {
    const char* failingCall;
    std::uint32_t result;
    Calls callNames;
};

TEST_F(SerialPortTest, OpenFailuresCloseWhatTheyOpened) {
    const OpenFailureCase cases[] = {
        {"CreateFileA", serial::kOpenFailed, {"CreateFileA"}},
        {"GetCommState", serial::kSettingsUnreadable, {"CreateFileA", "GetCommState", "CloseHandle"}},
        {"SetCommTimeouts", serial::kOpenFailed, {"CreateFileA", "GetCommState", "SetCommTimeouts", "CloseHandle"}},
        {"SetCommState",
         serial::kSettingsRefused,
         {"CreateFileA", "GetCommState", "SetCommTimeouts", "SetCommState", "CloseHandle"}},
        {"SetupComm",
         serial::kSerialOk,
         {"CreateFileA", "GetCommState", "SetCommTimeouts", "SetCommState", "SetupComm"}},
    };
    for (const OpenFailureCase& c : cases) {
        SCOPED_TRACE(c.failingCall);
        Fake().Reset();
        Fake().FailingCalls.insert(c.failingCall);
        serial::Handle handle = nullptr;
        EXPECT_EQ(serial::OpenPort("COM1", kLine, 8, &handle), c.result);
        EXPECT_EQ(Fake().CallNames(), c.callNames);
        const bool opened = c.result == serial::kSerialOk;
        EXPECT_EQ(Fake().OpenDevices.size(), opened ? 1u : 0u);
        if (!opened) {
            EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
        }
    }
}

TEST_F(SerialPortTest, MissingDeviceFailsToOpen) {
    serial::Handle handle = nullptr;
    EXPECT_EQ(serial::OpenPort("COM7", kLine, 8, &handle), serial::kOpenFailed);
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
}

struct FlagsCase {
    std::uint16_t openFlags;
    DWORD dtr;
    DWORD rts;
};

TEST_F(SerialPortTest, OpenFlagsSelectDtrAndRtsControl) {
    const FlagsCase cases[] = {
        {0x0008, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},   {0x0000, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
        {0x0001, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},    {0x0100, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},
        {0x8001, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},    {0x8000, DTR_CONTROL_HANDSHAKE, RTS_CONTROL_DISABLE},
        {0x8200, DTR_CONTROL_HANDSHAKE, RTS_CONTROL_ENABLE},  {0x0002, DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},
        {0x1000, DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE}, {0x2000, DTR_CONTROL_DISABLE, RTS_CONTROL_TOGGLE},
        {0x3000, DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE}, {0x3202, DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},
        {0x4CF4, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
    };
    for (const FlagsCase& c : cases) {
        SCOPED_TRACE(c.openFlags);
        Fake().Reset();
        serial::Handle handle = nullptr;
        ASSERT_EQ(serial::OpenPort("COM1", kLine, c.openFlags, &handle), serial::kSerialOk);
        EXPECT_EQ(Fake().State.fDtrControl, c.dtr);
        EXPECT_EQ(Fake().State.fRtsControl, c.rts);
    }
}

TEST_F(SerialPortTest, SetReadTimeoutWritesOnlyAChangeAndReturnsThePrevious) {
    OpenChannelPort();
    EXPECT_EQ(serial::SetReadTimeout(state.PortHandle, 30), 100);
    EXPECT_EQ(Fake().Calls, (Calls{"GetCommTimeouts()", "SetCommTimeouts(0,0,300,0,0)"}));
    Fake().ClearLog();
    EXPECT_EQ(serial::SetReadTimeout(state.PortHandle, 30), 30);
    EXPECT_EQ(Fake().Calls, (Calls{"GetCommTimeouts()"}));
}

TEST_F(SerialPortTest, SetReadTimeoutBelowTenMillisecondsOrFailingGivesZero) {
    OpenChannelPort();
    Fake().Timeouts.ReadTotalTimeoutConstant = 7;
    EXPECT_EQ(serial::SetReadTimeout(state.PortHandle, 5), 0);
    EXPECT_EQ(Fake().Timeouts.ReadTotalTimeoutConstant, 50u);
    Fake().FailingCalls.insert("SetCommTimeouts");
    EXPECT_EQ(serial::SetReadTimeout(state.PortHandle, 9), 0);
    Fake().FailingCalls = {"GetCommTimeouts"};
    EXPECT_EQ(serial::SetReadTimeout(state.PortHandle, 9), 0);
    EXPECT_EQ(Fake().Timeouts.ReadTotalTimeoutConstant, 50u);
}

TEST_F(SerialPortTest, PurgeOfEmptyInputOnlyAsksForStatus) {
    OpenChannelPort();
    EXPECT_EQ(serial::PurgeInput(state.PortHandle), 0u);
    EXPECT_EQ(Fake().Calls, (Calls{"ClearCommError()"}));
}

TEST_F(SerialPortTest, PurgeDrainsInChunksAndRestoresTheTimeout) {
    OpenChannelPort();
    Fake().Input.push_back(ReadEvent::Bytes(std::string(1000, 'x')));
    EXPECT_EQ(serial::PurgeInput(state.PortHandle), 0u);
    EXPECT_EQ(Fake().Calls,
              (Calls{"ClearCommError()", "GetCommTimeouts()", "SetCommTimeouts(0,0,50,0,0)", "ReadFile(512)",
                     "ReadFile(512)", "GetCommTimeouts()", "SetCommTimeouts(0,0,1000,0,0)"}));
    EXPECT_TRUE(Fake().Input.empty());
}

TEST_F(SerialPortTest, PurgeOfExactChunkReadsUntilAShortRead) {
    OpenChannelPort();
    Fake().Input.push_back(ReadEvent::Bytes(std::string(512, 'x')));
    EXPECT_EQ(serial::PurgeInput(state.PortHandle), 0u);
    EXPECT_EQ(Fake().ReadCalls, 2);
}

TEST_F(SerialPortTest, PurgeAfterAFailedStatusDrainsAndReportsAFailedRead) {
    OpenChannelPort();
    Fake().FailingCalls = {"ClearCommError"};
    Fake().Input.push_back(ReadEvent::Failure());
    EXPECT_EQ(serial::PurgeInput(state.PortHandle), 1u);
    EXPECT_EQ(Fake().CallNames(), (Calls{"ClearCommError", "GetCommTimeouts", "SetCommTimeouts", "ReadFile",
                                         "GetCommTimeouts", "SetCommTimeouts"}));
}

TEST_F(SerialPortTest, PurgeLeavesFiftyMillisecondsWhenThePreviousWasBelowTen) {
    OpenChannelPort();
    Fake().Timeouts.ReadTotalTimeoutConstant = 0;
    Fake().Input.push_back(ReadEvent::Bytes("late"));
    EXPECT_EQ(serial::PurgeInput(state.PortHandle), 0u);
    EXPECT_EQ(Fake().Timeouts.ReadTotalTimeoutConstant, 50u);
}

TEST_F(SerialPortTest, WriteReportsFailureAndShortWrites) {
    OpenChannelPort();
    std::uint32_t written = 99;
    EXPECT_EQ(serial::WritePort(state.PortHandle, "RD DM1234\r", 10, &written), serial::kSerialOk);
    EXPECT_EQ(written, 10u);
    Fake().ShortWriteBy = 3;
    EXPECT_EQ(serial::WritePort(state.PortHandle, "RD DM1234\r", 10, &written), serial::kShortWrite);
    EXPECT_EQ(written, 7u);
    Fake().FailingCalls = {"WriteFile"};
    written = 99;
    EXPECT_EQ(serial::WritePort(state.PortHandle, "RD DM1234\r", 10, &written), serial::kIoFailed);
    EXPECT_EQ(written, 99u);
    EXPECT_EQ(serial::WritePort(state.PortHandle, "x", 1, nullptr), serial::kIoFailed);
}

TEST_F(SerialPortTest, ReadCollectsPiecesUntilTheCountArrives) {
    OpenChannelPort();
    Fake().Input = {ReadEvent::Bytes("ab"), ReadEvent::Bytes("c"), ReadEvent::Bytes("defg")};
    char buffer[8] = {};
    std::uint16_t received = 0;
    EXPECT_EQ(serial::ReadPort(state.PortHandle, buffer, 5, &received), serial::kSerialOk);
    EXPECT_EQ(received, 5);
    EXPECT_EQ(std::string(buffer, 5), "abcde");
    EXPECT_EQ(Fake().Calls, (Calls{"ReadFile(5)", "ReadFile(3)", "ReadFile(2)"}));
}

TEST_F(SerialPortTest, ReadThatTimesOutKeepsWhatArrived) {
    OpenChannelPort();
    Fake().Input = {ReadEvent::Bytes("ab"), ReadEvent::Timeout()};
    char buffer[8] = {};
    std::uint16_t received = 0;
    EXPECT_EQ(serial::ReadPort(state.PortHandle, buffer, 4, &received), serial::kIoFailed);
    EXPECT_EQ(received, 2);
    EXPECT_EQ(std::string(buffer, 2), "ab");
}

TEST_F(SerialPortTest, ReadOfNothingFailingOrCountZeroGivesSeven) {
    OpenChannelPort();
    char buffer[4] = {};
    std::uint16_t received = 9;
    EXPECT_EQ(serial::ReadPort(state.PortHandle, buffer, 1, &received), serial::kIoFailed);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(serial::ReadPort(state.PortHandle, buffer, 0, nullptr), serial::kIoFailed);
    Fake().Input = {ReadEvent::Failure()};
    EXPECT_EQ(serial::ReadPort(state.PortHandle, buffer, 1, &received), serial::kIoFailed);
}

TEST_F(SerialPortTest, CloseReportsARefusal) {
    OpenChannelPort();
    Fake().FailingCalls = {"CloseHandle"};
    EXPECT_EQ(serial::ClosePort(state.PortHandle), serial::kIoFailed);
    Fake().FailingCalls.clear();
    EXPECT_EQ(serial::ClosePort(state.PortHandle), serial::kSerialOk);
    EXPECT_TRUE(Fake().OpenDevices.empty());
}

TEST_F(SerialPortTest, BreakAndDelayCallThePlatformInOrder) {
    OpenChannelPort();
    EXPECT_EQ(serial::SendBreak(250, state.PortHandle), 0u);
    EXPECT_EQ(serial::Delay(40), 0u);
    EXPECT_EQ(Fake().Calls, (Calls{"SetCommBreak()", "Sleep(250)", "ClearCommBreak()", "Sleep(40)"}));
}

TEST_F(SerialPortTest, EveryCallOnANullHandleFails) {
    char buffer[2];
    EXPECT_EQ(serial::WritePort(nullptr, "x", 1, nullptr), serial::kIoFailed);
    EXPECT_EQ(serial::ReadPort(nullptr, buffer, 1, nullptr), serial::kIoFailed);
    EXPECT_EQ(serial::SetReadTimeout(nullptr, 5), 0);
    EXPECT_EQ(serial::PurgeInput(nullptr), 1u);
    EXPECT_EQ(serial::ClosePort(nullptr), serial::kIoFailed);
}

} // namespace
