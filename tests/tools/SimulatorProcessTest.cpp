// The simulator as a process: its ready line, its exit on signals, its link and transcript files,
// initial values from a file, option errors, reopening the device, and line pacing.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PtyClient.h"
#include "RunningSimulator.h"

namespace toolstest {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A fresh directory per test under the system's temporary directory, removed with its files.
class ScratchDirectory {
public:
    ScratchDirectory() {
        char pattern[] = "/tmp/kv_simulator_test.XXXXXX";
        Path = mkdtemp(pattern);
    }
    ~ScratchDirectory() {
        for (const std::string& file : Files) {
            unlink(file.c_str());
        }
        rmdir(Path.c_str());
    }
    std::string File(const std::string& name) {
        Files.push_back(Path + "/" + name);
        return Files.back();
    }

private:
    std::string Path;
    std::vector<std::string> Files;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(SimulatorProcessTest, ReadyLineNamesACharacterDeviceThatAnswers) {
    RunningSimulator simulator({});
    ASSERT_TRUE(simulator.Ready()) << simulator.ReadyLine();
    EXPECT_TRUE(std::regex_match(simulator.ReadyLine(), std::regex("READY /dev/pts/[0-9]+")));
    struct stat device {};
    ASSERT_EQ(stat(simulator.DevicePath().c_str(), &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
    PtyClient client(simulator.DevicePath());
    EXPECT_EQ(client.Exchange("CR"), "CC\r\n");
}

TEST(SimulatorProcessTest, StopSignalsEndItWithStatusZero) {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        RunningSimulator simulator({});
        ASSERT_TRUE(simulator.Ready());
        const std::optional<int> status = simulator.Process().StopWith(signalNumber);
        ASSERT_TRUE(status.has_value());
        EXPECT_TRUE(ExitedWith(*status, 0)) << *status;
    }
}

TEST(SimulatorProcessTest, StopSignalEndsItWhileAReplyIsHeldBack) {
    RunningSimulator simulator({"--reply-delay", "600000"});
    ASSERT_TRUE(simulator.Ready());
    PtyClient client(simulator.DevicePath());
    client.Send("CR\r");
    const std::optional<int> status = simulator.Process().StopWith(SIGTERM);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(ExitedWith(*status, 0));
}

TEST(SimulatorProcessTest, LinkPointsAtTheDeviceUntilExit) {
    ScratchDirectory scratch;
    const std::string link = scratch.File("plc");
    RunningSimulator simulator({"--link", link});
    ASSERT_TRUE(simulator.Ready());
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), simulator.DevicePath());
    PtyClient client(link);
    EXPECT_EQ(client.Exchange("CR"), "CC\r\n");
    ASSERT_TRUE(simulator.Process().StopWith(SIGTERM).has_value());
    struct stat gone {};
    EXPECT_NE(lstat(link.c_str(), &gone), 0);
}

struct Step {
    const char* Command;
    std::string Reply;
};

struct TranscriptCase {
    const char* Name;
    std::vector<std::string> Arguments;
    std::vector<Step> Steps;
    std::vector<const char*> Lines; // a pattern for each line of the transcript, in order
};

const TranscriptCase kTranscriptCases[] = {
    {"plain exchanges and a fault",
     {"--set", "DM0001=42", "--faults-after", "1", "--stray-bytes", "1"},
     {{"RD DM0001", "00042\r\n"}, {"CR", std::string("\xFF\x00#CC\r\n", 7)}, {"?M", "0\r\n"}},
     {R"(\d+\.\d{6} -- READY /dev/pts/\d+)", R"(\d+\.\d{6} RX "RD DM0001\\r")", R"(\d+\.\d{6} TX "00042\\r\\n")",
      R"(\d+\.\d{6} RX "CR\\r")", R"(\d+\.\d{6} TX "\\xFF\\x00#CC\\r\\n" faults: stray-bytes)",
      R"(\d+\.\d{6} RX "\?M\\r")", R"(\d+\.\d{6} TX "0\\r\\n")", R"(\d+\.\d{6} -- stopped)"}},
    {"an ignored command",
     {"--silent", "1"},
     {{"CR", ""}, {"CR", "CC\r\n"}},
     {R"(\d+\.\d{6} -- READY /dev/pts/\d+)", R"(\d+\.\d{6} RX "CR\\r")",
      R"(\d+\.\d{6} -- command 1 ignored \(silent\))", R"(\d+\.\d{6} RX "CR\\r")", R"(\d+\.\d{6} TX "CC\\r\\n")",
      R"(\d+\.\d{6} -- stopped)"}},
    {"a line with a quote, a backslash, a tab and a LF",
     {},
     {{"\"\\\t\nX", "E0\r\n"}},
     {R"(\d+\.\d{6} -- READY /dev/pts/\d+)", R"(\d+\.\d{6} RX "\\"\\\\\\t\\nX\\r")", R"(\d+\.\d{6} TX "E0\\r\\n")",
      R"(\d+\.\d{6} -- stopped)"}},
};

TEST(SimulatorProcessTest, TranscriptRecordsEveryLineEscapedWithTimes) {
    for (const TranscriptCase& c : kTranscriptCases) {
        SCOPED_TRACE(c.Name);
        ScratchDirectory scratch;
        const std::string log = scratch.File("transcript.log");
        std::vector<std::string> arguments{"--log", log};
        arguments.insert(arguments.end(), c.Arguments.begin(), c.Arguments.end());
        RunningSimulator simulator(arguments);
        ASSERT_TRUE(simulator.Ready());
        PtyClient client(simulator.DevicePath());
        for (const Step& step : c.Steps) {
            client.Send(std::string(step.Command) + "\r");
            EXPECT_EQ(client.ReadBytes(step.Reply.size()), step.Reply);
        }
        ASSERT_TRUE(simulator.Process().StopWith(SIGTERM).has_value());

        std::istringstream text(ReadFile(log));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        ASSERT_EQ(lines.size(), c.Lines.size()) << ReadFile(log);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(std::regex_match(lines[i], std::regex(c.Lines[i]))) << lines[i] << "\ndoes not match\n"
                                                                            << c.Lines[i];
        }
    }
}

TEST(SimulatorProcessTest, InitFileSetsEveryListedValue) {
    ScratchDirectory scratch;
    const std::string init = scratch.File("memory.txt");
    std::ofstream(init) << "# initial memory\n"
                           "DM0100=1234\n"
                           "\n"
                           "  tm05 = 77  \n"
                           "00302=1\n"
                           "C100.preset=9\n"
                           "MODE=1\n";
    RunningSimulator simulator({"--init", init, "--set", "DM0100=4321"});
    ASSERT_TRUE(simulator.Ready());
    PtyClient client(simulator.DevicePath());
    EXPECT_EQ(client.Exchange("RD DM0100"), "04321\r\n") << "a later --set wins over the file";
    EXPECT_EQ(client.Exchange("RD TM05"), "00077\r\n");
    EXPECT_EQ(client.Exchange("RD 00302"), "1\r\n");
    EXPECT_EQ(client.Exchange("RD C100"), "0,00000,00009\r\n");
    EXPECT_EQ(client.Exchange("?M"), "1\r\n");
}

struct BadOptionCase {
    std::vector<std::string> Arguments;
    const char* Message;
};

TEST(SimulatorProcessTest, BadOptionsEndWithUsageStatusAndSayWhy) {
    ScratchDirectory scratch;
    const std::string badInit = scratch.File("bad.txt");
    std::ofstream(badInit) << "DM0001=1\nDM0002=70000\n";
    const BadOptionCase cases[] = {
        {{"--bogus", "1"}, "unknown option --bogus"},
        {{"--set", "DM10000=1"}, "DM10000=1"},
        {{"--set", "DM0001=65536"}, "0 to 65535"},
        {{"--set", "00116=1"}, "out of range"},
        {{"--baud", "0"}, "--baud"},
        {{"--silent", "x"}, "--silent"},
        {{"--reply-delay"}, "needs a value"},
        {{"--init", badInit}, "bad.txt:2"},
        {{"--init", "/nonexistent/init.txt"}, "cannot read"},
        {{"extra"}, "unexpected argument"},
    };
    for (const BadOptionCase& c : cases) {
        SCOPED_TRACE(c.Arguments.front());
        std::vector<std::string> command{SimulatorPath()};
        command.insert(command.end(), c.Arguments.begin(), c.Arguments.end());
        const ProgramResult result = RunProgram(command);
        EXPECT_TRUE(result.Exited);
        EXPECT_EQ(result.ExitStatus, 64);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
    }
}

TEST(SimulatorProcessTest, DeviceCanBeClosedAndReopenedManyTimesWithoutSpinning) {
    RunningSimulator simulator({"--set", "DM0001=42"});
    ASSERT_TRUE(simulator.Ready());
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        PtyClient client(simulator.DevicePath());
        ASSERT_TRUE(client.IsOpen());
        ASSERT_EQ(client.Exchange("RD DM0001"), "00042\r\n");
    }
    // A loop that spun on the closed device would burn most of this idle time on the processor.
    constexpr auto kIdle = 500ms;
    std::this_thread::sleep_for(kIdle);
    PtyClient client(simulator.DevicePath());
    EXPECT_EQ(client.Exchange("RD DM0001"), "00042\r\n");
    ASSERT_TRUE(simulator.Process().StopWith(SIGTERM).has_value());
    const rusage& usage = simulator.Process().Usage();
    const double cpuSeconds =
        usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    EXPECT_LT(cpuSeconds, 0.25);
}

struct PacingCase {
    const char* Command;
    const char* Reply;
};

// From the first command byte sent to the last reply byte read, the line must carry every character of
// both lines one after another; the last reply byte cannot leave before its predecessors have had
// their time. Delays on the test's side only add to the time measured, so this bound never flakes,
// and it fails if either direction goes unpaced.
const PacingCase kPacingCases[] = {
    {"RD DM0001", "00042\r\n"},
    {"RD AT", "00000,00000,00000,00000\r\n"},
};

TEST(SimulatorProcessTest, BaudPacingTakesAtLeastTheLineTime) {
    constexpr int kBaud = 1200;
    const auto characterTime = std::chrono::duration<double>(11.0 / kBaud);
    RunningSimulator simulator({"--set", "DM0001=42", "--baud", std::to_string(kBaud)});
    ASSERT_TRUE(simulator.Ready());
    PtyClient client(simulator.DevicePath());
    for (const PacingCase& c : kPacingCases) {
        SCOPED_TRACE(c.Command);
        const std::string command = std::string(c.Command) + "\r";
        const std::string reply = c.Reply;
        const Clock::time_point start = Clock::now();
        client.Send(command);
        EXPECT_EQ(client.ReadBytes(reply.size()), reply);
        const auto elapsed = Clock::now() - start;
        EXPECT_GE(elapsed, static_cast<double>(command.size() + reply.size() - 1) * characterTime);
        EXPECT_LT(elapsed, 10s);
    }
}

TEST(SimulatorProcessTest, ReplyDelayHoldsEveryReplyBack) {
    constexpr auto kDelay = 150ms;
    RunningSimulator simulator({"--reply-delay", std::to_string(kDelay.count())});
    ASSERT_TRUE(simulator.Ready());
    PtyClient client(simulator.DevicePath());
    for (int round = 0; round < 2; ++round) {
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(client.Exchange("CR"), "CC\r\n");
        EXPECT_GE(Clock::now() - start, kDelay);
    }
}

} // namespace
} // namespace toolstest
