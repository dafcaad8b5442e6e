// Channel lifecycle (codes 1, 11, 12, 13, 15) against the recording fake and the host library stand-in.
#include <gtest/gtest.h>

#include "DriverHandlers.h"
#include "FakePortFixture.h"
#include "Tarnel.h"

namespace {

using Calls = std::vector<std::string>;

OpenParams MakeOpen(const char* name, std::uint32_t enabled = 1, std::uint32_t timeout = 30,
                    SerialParams line = {19200, 8, 0, 0}) {
    OpenParams params;
    std::memset(&params, 0, sizeof params);
    std::strncpy(params.PortName, name, sizeof params.PortName);
    params.PortEnabled = enabled;
    params.ReadTimeout = timeout;
    params.SerialParams = line;
    return params;
}

ReconfigureParams MakeReconfigure(const char* name, std::uint32_t timeout = 0, SerialParams line = {4800, 7, 2, 1}) {
    ReconfigureParams params;
    std::memset(&params, 0, sizeof params);
    std::strncpy(params.PortName, name, sizeof params.PortName);
    params.ReadTimeout = timeout;
    params.SerialParams = line;
    return params;
}

class ChannelLifecycleTest : public FakePortTest {
protected:
    void SetUp() override {
        FakePortTest::SetUp();
        TarnelReset();
    }

    std::uint32_t Open(const OpenParams& params) {
        const DriverRequest request = {&state, DYX_OPEN_CHANNEL, {0, 0}, const_cast<OpenParams*>(&params)};
        return driver::OpenChannel(&request);
    }
    std::uint32_t Reconfigure(const ReconfigureParams& params) {
        const DriverRequest request = {
            &state, DYX_RECONFIGURE_CHANNEL, {0, 0}, const_cast<ReconfigureParams*>(&params)};
        return driver::ReconfigureChannel(&request);
    }
    std::uint32_t Close() {
        const DriverRequest request = {&state, DYX_CLOSE_CHANNEL, {0, 0}, nullptr};
        return driver::CloseChannel(&request);
    }
    std::uint32_t Reopen() {
        const DriverRequest request = {&state, DYX_REOPEN_CHANNEL, {0, 0}, nullptr};
        return driver::ReopenChannel(&request);
    }
};

TEST_F(ChannelLifecycleTest, OpenStoresSettingsTimeoutAndHandle) {
    state.LinkUp = 1;
    ASSERT_EQ(Open(MakeOpen("COM1", 1, 30)), 0u);
    EXPECT_NE(state.PortHandle, nullptr);
    EXPECT_EQ(state.LinkUp, 0);
    EXPECT_EQ(state.PortEnabled, 1u);
    EXPECT_EQ(state.ReadTimeout, 30u);
    EXPECT_STREQ(state.PortSettings.PortName, "COM1");
    EXPECT_EQ(state.PortSettings.OpenFlags, 8);
    EXPECT_EQ(state.PortSettings.SerialParams.Baud, 19200);
    EXPECT_EQ(state.PortSettings.SerialParams.ParityCode, 0);
    EXPECT_EQ(Fake().CallNames(), (Calls{"CreateFileA", "GetCommState", "SetCommTimeouts", "SetCommState", "SetupComm",
                                         "GetCommTimeouts", "SetCommTimeouts"}));
    EXPECT_EQ(Fake().Calls.back(), "SetCommTimeouts(0,0,300,0,0)");
    EXPECT_EQ(Fake().State.fDtrControl, 0u);
    EXPECT_EQ(Fake().State.fRtsControl, 0u);
    EXPECT_EQ(TarnelMessageCount(), 0);
}

TEST_F(ChannelLifecycleTest, OpenWithTimeoutZeroUsesOneSecond) {
    ASSERT_EQ(Open(MakeOpen("COM1", 1, 0)), 0u);
    EXPECT_EQ(state.ReadTimeout, driver::kDefaultReadTimeoutTenMs);
    EXPECT_EQ(Fake().Timeouts.ReadTotalTimeoutConstant, 1000u);
}

TEST_F(ChannelLifecycleTest, OpenClampsATimeoutTooLongForTheMillisecondField) {
    ASSERT_EQ(Open(MakeOpen("COM1", 1, 0xFFFFFFFFu)), 0u);
    EXPECT_EQ(state.ReadTimeout, driver::kLongestReadTimeoutTenMs);
    EXPECT_EQ(Fake().Timeouts.ReadTotalTimeoutConstant, driver::kLongestReadTimeoutTenMs * 10);
}

TEST_F(ChannelLifecycleTest, LongestTimeoutSurvivesAPurge) {
    ASSERT_EQ(Open(MakeOpen("COM1", 1, 0xFFFFFFFFu)), 0u);
    Fake().Input.push_back(fake::ReadEvent::Bytes("stale"));
    serial::PurgeInput(state.PortHandle);
    EXPECT_EQ(Fake().Timeouts.ReadTotalTimeoutConstant, driver::kLongestReadTimeoutTenMs * 10);
}

TEST_F(ChannelLifecycleTest, OpenOfADisabledPortOnlyRecordsItAndClearsTheLink) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    const void* handle = state.PortHandle;
    state.LinkUp = 1;
    Fake().ClearLog();
    EXPECT_EQ(Open(MakeOpen("COM2", 0, 55)), 0u);
    EXPECT_EQ(state.PortEnabled, 0u);
    EXPECT_EQ(state.LinkUp, 0);
    EXPECT_EQ(state.PortHandle, handle);
    EXPECT_STREQ(state.PortSettings.PortName, "COM1");
    EXPECT_EQ(state.ReadTimeout, 30u);
    EXPECT_TRUE(Fake().Calls.empty());
    EXPECT_EQ(TarnelMessageCount(), 0);
}

TEST_F(ChannelLifecycleTest, FailedOpenIsReportedOnceAndChangesNothingElse) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    const void* handle = state.PortHandle;
    state.LinkUp = 1;
    EXPECT_EQ(Open(MakeOpen("COM9", 7, 12)), 2u);
    ASSERT_EQ(TarnelMessageCount(), 1);
    EXPECT_EQ(TarnelMessageLevel(0), 32);
    EXPECT_STREQ(TarnelMessageFormat(0), "DYX%s : Fail to open %s");
    EXPECT_STREQ(TarnelMessageText(0), "DYXKEYENCE KV Series : Fail to open COM9");
    EXPECT_EQ(state.PortHandle, handle);
    EXPECT_STREQ(state.PortSettings.PortName, "COM1");
    EXPECT_EQ(state.ReadTimeout, 30u);
    EXPECT_EQ(state.PortEnabled, 7u);
    EXPECT_EQ(state.LinkUp, 0);
}

TEST_F(ChannelLifecycleTest, EveryKindOfOpenFailureIsReported) {
    for (const char* failing : {"CreateFileA", "GetCommState", "SetCommTimeouts", "SetCommState"}) {
        SCOPED_TRACE(failing);
        SetUp();
        Fake().FailingCalls = {failing};
        EXPECT_EQ(Open(MakeOpen("COM1")), 2u);
        EXPECT_EQ(TarnelMessageCount(), 1);
        EXPECT_EQ(state.PortHandle, nullptr);
        EXPECT_TRUE(Fake().OpenDevices.empty());
    }
}

TEST_F(ChannelLifecycleTest, PortNameWithoutNulIsRefusedUntouched) {
    OpenParams params = MakeOpen("COM1", 1, 30);
    std::memset(params.PortName, 'X', sizeof params.PortName);
    std::memset(&state, 0x5A, sizeof state);
    const ChannelState before = state;
    EXPECT_EQ(Open(params), 2u);
    ReconfigureParams reconfigure = MakeReconfigure("COM1", 40);
    std::memset(reconfigure.PortName, 'Y', sizeof reconfigure.PortName);
    EXPECT_EQ(Reconfigure(reconfigure), 2u);
    EXPECT_EQ(std::memcmp(&state, &before, sizeof state), 0);
    EXPECT_TRUE(Fake().Calls.empty());
    EXPECT_EQ(TarnelMessageCount(), 0);
}

TEST_F(ChannelLifecycleTest, ElevenCharacterNameIsAccepted) {
    Fake().Devices.insert("ttyUSB12345");
    EXPECT_EQ(Open(MakeOpen("ttyUSB12345")), 0u);
    EXPECT_STREQ(state.PortSettings.PortName, "ttyUSB12345");
}

TEST_F(ChannelLifecycleTest, NullDeviceOpensWithoutConfiguration) {
    EXPECT_EQ(Open(MakeOpen("NUL")), 0u);
    EXPECT_EQ(Fake().CallNames(), (Calls{"CreateFileA", "GetCommTimeouts", "SetCommTimeouts"}));
}

TEST_F(ChannelLifecycleTest, OpenOfTheSameDeviceAgainFailsAndKeepsTheFirstHandle) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    const void* handle = state.PortHandle;
    EXPECT_EQ(Open(MakeOpen("COM1")), 2u);
    EXPECT_EQ(state.PortHandle, handle);
    EXPECT_EQ(TarnelMessageCount(), 1);
}

TEST_F(ChannelLifecycleTest, OpenOfAnotherDeviceClosesTheReplacedPort) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    const void* first = state.PortHandle;
    ASSERT_EQ(Open(MakeOpen("COM2")), 0u);
    EXPECT_NE(state.PortHandle, first);
    ASSERT_EQ(Fake().OpenDevices.size(), 1u);
    EXPECT_EQ(Fake().OpenDevices.begin()->second, "COM2");
}

TEST_F(ChannelLifecycleTest, CloseTwiceAndCloseWithNothingOpen) {
    EXPECT_EQ(Close(), 0u);
    EXPECT_TRUE(Fake().Calls.empty());
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    state.LinkUp = 1;
    EXPECT_EQ(Close(), 0u);
    EXPECT_EQ(state.PortHandle, nullptr);
    EXPECT_EQ(Close(), 0u);
    EXPECT_EQ(state.LinkUp, 1);
    EXPECT_EQ(state.PortEnabled, 1u);
    EXPECT_STREQ(state.PortSettings.PortName, "COM1");
}

TEST_F(ChannelLifecycleTest, RefusedCloseKeepsTheHandle) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    const void* handle = state.PortHandle;
    Fake().FailingCalls = {"CloseHandle"};
    EXPECT_EQ(Close(), 2u);
    EXPECT_EQ(state.PortHandle, handle);
}

TEST_F(ChannelLifecycleTest, ReopenUsesTheStoredSettingsAndEnablesThePort) {
    ASSERT_EQ(Open(MakeOpen("COM1", 1, 30, {2400, 7, 2, 1})), 0u);
    ASSERT_EQ(Close(), 0u);
    ASSERT_EQ(Open(MakeOpen("COM2", 0)), 0u);
    state.LinkUp = 1;
    Fake().ClearLog();
    EXPECT_EQ(Reopen(), 0u);
    EXPECT_NE(state.PortHandle, nullptr);
    EXPECT_EQ(state.PortEnabled, 1u);
    EXPECT_EQ(state.LinkUp, 1);
    EXPECT_EQ(Fake().Calls.front(), "CreateFileA(COM1,0xC0000000,0,3,0x80)");
    EXPECT_EQ(Fake().Calls[3], "SetCommState(2400,7,2,1,dtr=0,rts=0)");
    // No read time-out of its own: the port keeps the one a fresh open sets.
    EXPECT_EQ(Fake().CallNames().back(), "SetupComm");
}

TEST_F(ChannelLifecycleTest, ReopenWhileOpenFailsAndKeepsThePort) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    const void* handle = state.PortHandle;
    state.PortEnabled = 0;
    EXPECT_EQ(Reopen(), 2u);
    EXPECT_EQ(state.PortHandle, handle);
    EXPECT_EQ(state.PortEnabled, 0u);
    EXPECT_EQ(TarnelMessageCount(), 0);
}

TEST_F(ChannelLifecycleTest, ReconfigureToAnotherPortClosesTheOldFirst) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    state.LinkUp = 1;
    Fake().ClearLog();
    EXPECT_EQ(Reconfigure(MakeReconfigure("COM2", 25)), 0u);
    EXPECT_EQ(Fake().CallNames().front(), "CloseHandle");
    EXPECT_EQ(Fake().Calls[1], "CreateFileA(COM2,0xC0000000,0,3,0x80)");
    EXPECT_EQ(Fake().Calls[4], "SetCommState(4800,7,2,1,dtr=0,rts=0)");
    EXPECT_EQ(state.ReadTimeout, 25u);
    EXPECT_STREQ(state.PortSettings.PortName, "COM2");
    EXPECT_EQ(state.PortSettings.OpenFlags, 8);
    EXPECT_EQ(state.LinkUp, 1);
    EXPECT_EQ(state.PortEnabled, 1u);
    // The port reads with the time-out of a fresh open, not the stored one.
    EXPECT_EQ(Fake().Timeouts.ReadTotalTimeoutConstant, 1000u);
}

TEST_F(ChannelLifecycleTest, ReconfigureToAMissingPortLeavesNoneOpen) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    EXPECT_EQ(Reconfigure(MakeReconfigure("COM5", 0)), 2u);
    EXPECT_EQ(state.PortHandle, nullptr);
    EXPECT_STREQ(state.PortSettings.PortName, "COM5");
    EXPECT_EQ(state.ReadTimeout, 30u);
    EXPECT_EQ(TarnelMessageCount(), 0);
    EXPECT_TRUE(Fake().OpenDevices.empty());
}

TEST_F(ChannelLifecycleTest, ReconfigureWithTheSameNameWhileOpenFailsButStoresTheSettings) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    const void* handle = state.PortHandle;
    EXPECT_EQ(Reconfigure(MakeReconfigure("COM1", 0, {1200, 8, 0, 0})), 2u);
    EXPECT_EQ(state.PortHandle, handle);
    EXPECT_EQ(state.PortSettings.SerialParams.Baud, 1200);
    EXPECT_EQ(Fake().State.BaudRate, 19200u);
}

TEST_F(ChannelLifecycleTest, ReconfigureTreatsLetterCaseAsAnotherName) {
    Fake().Devices.insert("com1");
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    Fake().ClearLog();
    EXPECT_EQ(Reconfigure(MakeReconfigure("com1")), 0u);
    EXPECT_EQ(Fake().CallNames().front(), "CloseHandle");
}

TEST_F(ChannelLifecycleTest, ReconfigureAfterARefusedCloseReplacesAndClosesTheOldPort) {
    ASSERT_EQ(Open(MakeOpen("COM1")), 0u);
    Fake().FailingCalls = {"CloseHandle"};
    Fake().ClearLog();
    EXPECT_EQ(Reconfigure(MakeReconfigure("COM2")), 0u);
    const Calls names = Fake().CallNames();
    EXPECT_EQ(names.front(), "CloseHandle");
    EXPECT_EQ(names.back(), "CloseHandle");
}

TEST_F(ChannelLifecycleTest, ReconfigureFromClosedOpensTheNewSettings) {
    EXPECT_EQ(Reconfigure(MakeReconfigure("COM2", 40)), 0u);
    EXPECT_NE(state.PortHandle, nullptr);
    EXPECT_EQ(Fake().CallNames().front(), "CreateFileA");
    EXPECT_EQ(state.ReadTimeout, 40u);
}

} // namespace
