// Every fault switch of the simulator, seen from the line: which commands it hits and the exact
// bytes that come back instead of the normal reply.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <string>
#include <vector>

#include "PtyClient.h"
#include "RunningSimulator.h"

namespace toolstest {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::vector<std::string> kInitialValues = {"--set", "DM0001=42", "--set", "DM0002=7", "--set", "DM0003=99"};

// After a case, anything more that arrives within this time is a stray reply.
constexpr auto kQuietCheck = 100ms;

struct Step {
    const char* Command;
    std::string Reply; // exactly the bytes that come back; empty for none
};

struct FaultCase {
    const char* Name;
    std::vector<std::string> Arguments;
    std::vector<Step> Steps;
};

std::string LongLine() {
    std::string line;
    for (int i = 0; i < 320; ++i) {
        line += static_cast<char>('0' + i % 10);
    }
    return line + "\r\n";
}

const std::string kStray{"\xFF\x00#", 3};

const FaultCase kFaultCases[] = {
    {"silent for the first two",
     {"--silent", "2"},
     {{"RD DM0001", ""}, {"RD DM0002", ""}, {"RD DM0003", "00099\r\n"}, {"RD DM0001", "00042\r\n"}}},
    {"silent commands are not executed", {"--silent", "1"}, {{"WR DM0001 00005", ""}, {"RD DM0001", "00042\r\n"}}},
    {"silent always", {"--silent-always"}, {{"CR", ""}, {"RD DM0001", ""}, {"?M", ""}}},
    {"faults start after the pass-through",
     {"--faults-after", "1", "--silent", "1"},
     {{"CR", "CC\r\n"}, {"CR", ""}, {"CR", "CC\r\n"}}},
    {"wrong length once", {"--wrong-length", "1"}, {{"RD DM0001", "0004\r\n"}, {"RD DM0001", "00042\r\n"}}},
    {"wrong length always", {"--wrong-length-always"}, {{"CR", "C\r\n"}, {"WR DM0001 00001", "O\r\n"}, {"?M", "\r\n"}}},
    {"long line once", {"--long-line", "1"}, {{"RD DM0001", LongLine()}, {"RD DM0001", "00042\r\n"}}},
    {"lone LF once", {"--lone-lf", "1"}, {{"CR", "\n"}, {"CR", "CC\r\n"}}},
    {"lone LF always", {"--lone-lf-always"}, {{"CR", "\n"}, {"RD DM0001", "\n"}}},
    {"CR LF only for two", {"--crlf-only", "2"}, {{"CR", "\r\n"}, {"RD DM0001", "\r\n"}, {"CR", "CC\r\n"}}},
    {"no CR for two", {"--no-cr", "2"}, {{"RD DM0001", "00042\n"}, {"CR", "CC\n"}, {"CR", "CC\r\n"}}},
    {"stray bytes once", {"--stray-bytes", "1"}, {{"RD DM0001", kStray + "00042\r\n"}, {"RD DM0001", "00042\r\n"}}},
    {"late line once", {"--late-line", "1"}, {{"RD DM0001", "00042\r\n99999\r\n"}, {"RD DM0002", "00007\r\n"}}},
    {"slow pieces carry the whole reply",
     {"--slow-pieces-always", "--piece-gap", "1"},
     {{"RD DM0001", "00042\r\n"}, {"CR", "CC\r\n"}}},
    {"stray bytes and no CR together", {"--stray-bytes-always", "--no-cr-always"}, {{"CR", kStray + "CC\n"}}},
    {"wrong length after two",
     {"--faults-after", "2", "--wrong-length-always"},
     {{"CR", "CC\r\n"}, {"CR", "CC\r\n"}, {"CR", "C\r\n"}, {"CR", "C\r\n"}}},
};

std::vector<std::string> WithInitialValues(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = kInitialValues;
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
}

TEST(SimulatorFaultTest, EachFaultChangesExactlyTheRepliesItNames) {
    for (const FaultCase& c : kFaultCases) {
        SCOPED_TRACE(c.Name);
        RunningSimulator simulator(WithInitialValues(c.Arguments));
        ASSERT_TRUE(simulator.Ready());
        PtyClient client(simulator.DevicePath());
        ASSERT_TRUE(client.IsOpen());
        for (const Step& step : c.Steps) {
            SCOPED_TRACE(step.Command);
            client.Send(std::string(step.Command) + "\r");
            EXPECT_EQ(client.ReadBytes(step.Reply.size()), step.Reply);
        }
        EXPECT_EQ(client.ReadBytes(1, kQuietCheck), "");
    }
}

TEST(SimulatorFaultTest, SlowPiecesSpreadOnlyTheChosenRepliesOverTime) {
    constexpr int kGapMs = 40;
    RunningSimulator simulator(WithInitialValues({"--slow-pieces", "1", "--piece-gap", std::to_string(kGapMs)}));
    ASSERT_TRUE(simulator.Ready());
    PtyClient client(simulator.DevicePath());
    const Clock::time_point start = Clock::now();
    client.Send("RD DM0001\r");
    EXPECT_EQ(client.ReadBytes(7), "00042\r\n");
    const auto elapsed = Clock::now() - start;
    // Seven bytes leave with six gaps between them.
    EXPECT_GE(elapsed, std::chrono::milliseconds(6 * kGapMs));
    const std::size_t readsBefore = client.ReadCalls();
    client.Send("RD DM0001\r");
    EXPECT_EQ(client.ReadBytes(7), "00042\r\n");
    // A reply written whole lands whole in the device's input, so one read takes it.
    EXPECT_EQ(client.ReadCalls() - readsBefore, 1U) << "only the first reply was to come in pieces";
}

TEST(SimulatorFaultTest, HangUpClosesTheLineMidReplyAndEndsTheSimulator) {
    RunningSimulator simulator(WithInitialValues({"--hang-up-at", "2"}));
    ASSERT_TRUE(simulator.Ready());
    PtyClient client(simulator.DevicePath());
    EXPECT_EQ(client.Exchange("CR"), "CC\r\n");
    client.Send("RD DM0001\r");
    EXPECT_EQ(client.ReadBytes(100), "000");
    EXPECT_TRUE(client.HungUp());
    const std::optional<int> status = simulator.Process().WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(ExitedWith(*status, 0));
}

} // namespace
} // namespace toolstest
