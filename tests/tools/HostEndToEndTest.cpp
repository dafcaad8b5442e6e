// dyx_host end to end: the built driver library, loaded by the command-line host, against the
// simulator on a pseudo-terminal. Each run is a separate process, as in daily use.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "RunningSimulator.h"

namespace toolstest {
namespace {

const std::vector<std::string> kInitialValues = {"--set",           "DM0100=1234", "--set",  "T005=42", "--set",
                                                 "T005.preset=100", "--set",       "MODE=0", "--set",   "MODEL=50"};

std::vector<std::string> HostCommand(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{DYX_HOST_PATH, "--library", DYX_LIBRARY_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

// dyx_host on `device` with the line settings a pseudo-terminal carries and a short read time-out.
std::vector<std::string> HostCommandOn(const std::string& device, std::vector<std::string> arguments,
                                       const std::string& timeoutMs = "200") {
    arguments.insert(arguments.end(), {"--port", device, "--parity", "none", "--timeout", timeoutMs});
    return HostCommand(arguments);
}

class HostEndToEndTest : public ::testing::Test {
protected:
    RunningSimulator Simulator{kInitialValues};

    void SetUp() override { ASSERT_TRUE(Simulator.Ready()); }

    ProgramResult OnPort(const std::vector<std::string>& arguments) {
        return RunProgram(HostCommandOn(Simulator.DevicePath(), arguments));
    }
};

struct SessionStep {
    std::vector<std::string> Arguments;
    int ExitStatus;
    const char* Output;
};

// One session, in order: each write is read back by a later step.
const SessionStep kSessionSteps[] = {
    {{"read", "DM$0100"}, 0, "DM$0100 = 1234\n"},
    {{"write", "DM$0100", "4321"}, 0, "DM$0100 <- 4321: done\n"},
    {{"read", "DM$0100"}, 0, "DM$0100 = 4321\n"},
    {{"read", "dm$0100", "RTR0005", "RTP0005", "RK$0000"},
     0,
     "dm$0100 = 4321\nRTR0005 = 42\nRTP0005 = 100\nRK$0000 = 50\n"},
    {{"write", "RD$00105", "1"}, 0, "RD$00105 <- 1: done\n"},
    {{"read", "RD$00105"}, 0, "RD$00105 = 1\n"},
    {{"write", "RD$00105", "0"}, 0, "RD$00105 <- 0: done\n"},
    {{"read", "RD$00105"}, 0, "RD$00105 = 0\n"},
    {{"write", "RTP0005", "300"}, 0, "RTP0005 <- 300: done\n"},
    {{"read", "RTP0005", "RTR0005"}, 0, "RTP0005 = 300\nRTR0005 = 42\n"},
    {{"write", "M$$00000", "1"}, 0, "M$$00000 <- 1: done\n"},
    {{"read", "M$$00000"}, 0, "M$$00000 = 1\n"},
    {{"read", "DM$0100", "--type", "bit"}, 1, "DM$0100: refused: the address, data type or reply was not accepted\n"},
    {{"write", "RHP0001", "5"}, 1, "RHP0001 <- 5: refused: the address, data type or reply was not accepted\n"},
    {{"read", "DM$0100", "XX$0001"},
     1,
     "DM$0100 = 4321\nXX$0001: refused: the address, data type or reply was not accepted\n"},
};

TEST_F(HostEndToEndTest, SessionReadsWritesAndReadsBack) {
    for (const SessionStep& step : kSessionSteps) {
        SCOPED_TRACE(step.Arguments.front() + " " + step.Arguments[1]);
        const ProgramResult result = OnPort(step.Arguments);
        EXPECT_TRUE(result.Exited);
        EXPECT_EQ(result.ExitStatus, step.ExitStatus) << result.Err;
        EXPECT_EQ(result.Out, step.Output);
    }
}

TEST_F(HostEndToEndTest, DescribeShowsNameBannerAndDefaults) {
    const ProgramResult result = RunProgram(HostCommand({"describe"}));
    EXPECT_EQ(result.ExitStatus, 0) << result.Err;
    EXPECT_NE(result.Out.find("Driver name: KEYENCE KV Series\n"), std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("\u2554\u2550\u2550"), std::string::npos) << "the banner's box, in UTF-8";
    EXPECT_NE(result.Out.find("Version 7.00"), std::string::npos);
    EXPECT_NE(result.Out.find("State size:"), std::string::npos);
    EXPECT_NE(result.Out.find("Defaults:    9600 baud, 8 data bits, 1 stop bit, parity even\n"), std::string::npos);
}

struct CheckCase {
    std::vector<std::string> Arguments;
    int ExitStatus;
    const char* Output;
};

const CheckCase kCheckCases[] = {
    {{"DM$1234"}, 0, "DM$1234 as word: done\n"},
    {{"DM$1234", "--type", "bit"}, 1, "DM$1234 as bit: refused: the address, data type or reply was not accepted\n"},
    {{"RD$00105"}, 0, "RD$00105 as bit: done\n"},
    {{"M$$00000"}, 0, "M$$00000 as bit: done\n"},
    {{"dm$12a4"}, 1, "dm$12a4 as word: refused: the address, data type or reply was not accepted\n"},
    {{"AT00000", "RD$0010"},
     1,
     "AT00000 as word: done\nRD$0010 as word: refused: the address, data type or reply was not accepted\n"},
};

TEST_F(HostEndToEndTest, CheckNeedsNoPortAndSaysDoneOrRefused) {
    for (const CheckCase& c : kCheckCases) {
        SCOPED_TRACE(c.Arguments.front());
        std::vector<std::string> arguments{"check"};
        arguments.insert(arguments.end(), c.Arguments.begin(), c.Arguments.end());
        const ProgramResult result = RunProgram(HostCommand(arguments));
        EXPECT_EQ(result.ExitStatus, c.ExitStatus) << result.Err;
        EXPECT_EQ(result.Out, c.Output);
    }
}

TEST_F(HostEndToEndTest, WatchPrintsAValueOnceAndEndsAfterItsCount) {
    const ProgramResult result = OnPort({"watch", "DM$0100", "--interval", "10", "--count", "3"});
    EXPECT_EQ(result.ExitStatus, 0) << result.Err;
    EXPECT_NE(result.Out.find("] DM$0100 = 1234\n"), std::string::npos) << result.Out;
    EXPECT_EQ(result.Out.find("DM$0100 = 1234", result.Out.find("DM$0100 = 1234") + 1), std::string::npos)
        << "an unchanged value is printed once";
    EXPECT_NE(result.Out.find("watch ended after 3 polls\n"), std::string::npos);
}

TEST_F(HostEndToEndTest, WatchEndsCleanlyOnSigterm) {
    ChildProcess watch(HostCommandOn(Simulator.DevicePath(), {"watch", "DM$0100", "--interval", "20"}));
    const std::optional<std::string> first = watch.ReadLine();
    ASSERT_TRUE(first.has_value()) << watch.ErrorOutput();
    EXPECT_NE(first->find("DM$0100 = 1234"), std::string::npos);
    const std::optional<int> status = watch.StopWith(SIGTERM);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(ExitedWith(*status, 0));
    EXPECT_NE(watch.OutputSoFar().find("(stopped by signal)"), std::string::npos) << watch.OutputSoFar();
}

TEST(HostFailureTest, SilentControllerIsACommunicationFailure) {
    RunningSimulator simulator({"--silent-always"});
    ASSERT_TRUE(simulator.Ready());
    const ProgramResult result = RunProgram(HostCommandOn(simulator.DevicePath(), {"read", "DM$0100"}, "20"));
    EXPECT_EQ(result.ExitStatus, 2);
    EXPECT_NE(result.Err.find("link handshake"), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("no answer from the controller"), std::string::npos) << result.Err;
}

TEST(HostFailureTest, PortThatDoesNotOpenIsReportedWithTheDriverMessage) {
    const ProgramResult result = RunProgram(HostCommandOn("/dev/nope99", {"read", "DM$0100"}));
    EXPECT_EQ(result.ExitStatus, 2);
    EXPECT_NE(result.Err.find("open /dev/nope99"), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("Fail to open /dev/nope99"), std::string::npos) << result.Err;
}

TEST(HostFailureTest, WrongLengthReplyIsRefused) {
    RunningSimulator simulator({"--set", "DM0100=1234", "--faults-after", "1", "--wrong-length-always"});
    ASSERT_TRUE(simulator.Ready());
    const ProgramResult result = RunProgram(HostCommandOn(simulator.DevicePath(), {"read", "DM$0100"}));
    EXPECT_EQ(result.ExitStatus, 1) << result.Err;
    EXPECT_EQ(result.Out, "DM$0100: refused: the address, data type or reply was not accepted\n");
}

} // namespace
} // namespace toolstest
