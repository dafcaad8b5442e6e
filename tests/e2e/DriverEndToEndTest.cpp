// The whole driver through DyxMain, over the Linux stand-in and a pseudo-terminal, against the
// controller simulator: every device family, the lifecycle, and each fault the simulator can play.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "DyxDriver.h"
#include "RunningSimulator.h"
#include "Tarnel.h"

namespace {

using toolstest::RunningSimulator;

constexpr std::uint32_t kShortTimeoutTenMs = 5;

std::string TranscriptPath() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    return "/tmp/dyx-e2e-" + std::string(test->name()) + "-" + std::to_string(getpid()) + ".log";
}

// What the simulator received, in order, each line with its bytes escaped as the transcript writes them.
std::vector<std::string> ReceivedLines(const std::string& path) {
    std::ifstream transcript(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(transcript, line)) {
        const std::size_t marker = line.find(" RX \"");
        if (marker == std::string::npos) continue;
        const std::size_t start = marker + 5;
        lines.push_back(line.substr(start, line.rfind('"') - start));
    }
    return lines;
}

class Channel {
public:
    Channel() {
        std::memset(storage_, 0, sizeof storage_);
        state_ = reinterpret_cast<ChannelState*>(storage_);
    }
    ~Channel() { Call(DYX_CLOSE_CHANNEL, nullptr); }

    ChannelState& State() { return *state_; }

    std::uint32_t Call(std::uint32_t code, void* params) {
        const DriverRequest request = {state_, code, {0, 0}, params};
        return DyxMain(&request);
    }
    std::uint32_t Open(const std::string& port, std::uint32_t timeoutTenMs = kShortTimeoutTenMs,
                       SerialParams line = {9600, 8, 0, 0}) {
        OpenParams params;
        std::memset(&params, 0, sizeof params);
        std::strncpy(params.PortName, port.c_str(), sizeof params.PortName - 1);
        params.PortEnabled = 1;
        params.ReadTimeout = timeoutTenMs;
        params.SerialParams = line;
        return Call(DYX_OPEN_CHANNEL, &params);
    }
    std::uint32_t Read(const std::string& address, std::uint32_t dataType, std::uint16_t* value) {
        ItemValue item = {{0, 0}, 0xBEEF};
        ItemParams params = Item(address, dataType, &item);
        const std::uint32_t result = Call(DYX_READ_ITEM, &params);
        *value = item.Value;
        return result;
    }
    std::uint32_t Write(const std::string& address, std::uint32_t dataType, std::uint16_t value) {
        ItemValue item = {{0, 0}, value};
        ItemParams params = Item(address, dataType, &item);
        return Call(DYX_WRITE_ITEM, &params);
    }

private:
    ItemParams Item(const std::string& address, std::uint32_t dataType, ItemValue* item) {
        text_ = address;
        ItemParams params;
        std::memset(&params, 0, sizeof params);
        params.AddressText = text_.c_str();
        params.DataType = dataType;
        params.Item = item;
        return params;
    }

    alignas(8) unsigned char storage_[1024];
    ChannelState* state_;
    std::string text_;
};

// A relative name under /dev/, short enough for the 11 characters of a port name.
std::string PortNameOf(const std::string& devicePath) {
    return devicePath.substr(std::strlen("/dev/"));
}

class DriverEndToEndTest : public ::testing::Test {
protected:
    // A transcript is kept only where it can explain a failure.
    void TearDown() override {
        simulator.reset();
        if (!HasFailure() && !transcript.empty()) std::remove(transcript.c_str());
    }

    void Start(std::vector<std::string> arguments) {
        transcript = TranscriptPath();
        std::remove(transcript.c_str());
        arguments.insert(arguments.end(), {"--log", transcript});
        simulator = std::make_unique<RunningSimulator>(arguments);
        ASSERT_TRUE(simulator->Ready());
        port = PortNameOf(simulator->DevicePath());
        ASSERT_LE(port.size(), 11u);
    }

    std::vector<std::string> Received() {
        simulator->Process().StopWith(SIGTERM);
        return ReceivedLines(transcript);
    }

    std::unique_ptr<RunningSimulator> simulator;
    std::string transcript;
    std::string port;
    Channel channel;
};

struct FamilyCase {
    const char* address;
    std::uint32_t dataType;
    std::uint16_t initial;
    const char* readLine;
    std::uint16_t written;
    const char* writeLine; // null: the item cannot be written
};

const FamilyCase kFamilies[] = {
    {"DM$1234", 0, 42, "RD DM1234\\r", 65535, "WR DM1234 65535\\r"},
    {"TM$0012", 0, 7, "RD TM12\\r", 300, "WR TM12 00300\\r"},
    {"RD$00105", 6, 1, "RD 00105\\r", 0, "RS 00105\\r"},
    {"RD$00015", 6, 0, "RD 00015\\r", 1, "ST 00015\\r"},
    {"RTR0005", 0, 42, "RD T005\\r", 250, "WR T005 00250\\r"},
    {"RTP0005", 0, 100, "RD T005\\r", 120, "WS T005 00120\\r"},
    {"RT$00005", 6, 1, "RD T005\\r", 0, "RS T005\\r"},
    {"RCR0012", 0, 9, "RD C012\\r", 11, "WR C012 00011\\r"},
    {"RCP0012", 0, 50, "RD C012\\r", 60, "WS C012 00060\\r"},
    {"RC$00012", 6, 0, "RD C012\\r", 1, "ST C012\\r"},
    {"RHR0001", 0, 300, "RD CTH1\\r", 301, "WR CTH1 00301\\r"},
    {"RHP0001", 0, 400, "RD CTH1\\r", 0, nullptr},
    {"RH$00001", 6, 1, "RD CTH1\\r", 0, nullptr},
    {"RC10003", 0, 500, "RD CTC3\\r", 0, nullptr},
    {"RC20003", 0, 600, "RD CTC3\\r", 601, "WS CTC3 00601\\r"},
    {"RCC00003", 6, 1, "RD CTC3\\r", 0, "RS CTC3\\r"},
    {"AT00000", 0, 12, "RD AT\\r", 0, nullptr},
    {"AT10000", 0, 345, "RD AT\\r", 0, nullptr},
    {"M$$00000", 6, 0, "?M\\r", 1, "M1\\r"},
    {"ER$0000", 0, 3, "?E\\r", 0, nullptr},
    {"RK$0000", 0, 50, "?K\\r", 0, nullptr},
};

TEST_F(DriverEndToEndTest, EveryDeviceFamilyReadsWritesAndReadsBack) {
    Start({"--set", "DM1234=42",       "--set", "TM12=7",          "--set", "00105=1",        "--set", "T005=42",
           "--set", "T005.preset=100", "--set", "T005.contact=1",  "--set", "C012=9",         "--set", "C012.preset=50",
           "--set", "CTH1=300",        "--set", "CTH1.preset=400", "--set", "CTH1.contact=1", "--set", "CTC3=500",
           "--set", "CTC3.preset=600", "--set", "CTC3.contact=1",  "--set", "AT0=12",         "--set", "AT1=345",
           "--set", "MODE=0",          "--set", "ERROR=3",         "--set", "MODEL=50"});
    ASSERT_EQ(channel.Open(port, 50), 0u);
    ASSERT_EQ(channel.Call(DYX_OPEN_LINK, nullptr), 0u);

    std::vector<std::string> expected = {"CR\\r"};
    for (const FamilyCase& c : kFamilies) {
        SCOPED_TRACE(c.address);
        std::uint16_t value = 0;
        EXPECT_EQ(channel.Read(c.address, c.dataType, &value), 0u);
        EXPECT_EQ(value, c.initial);
        expected.push_back(c.readLine);
        if (c.writeLine == nullptr) {
            EXPECT_EQ(channel.Write(c.address, c.dataType, 1), 1u);
            continue;
        }
        EXPECT_EQ(channel.Write(c.address, c.dataType, c.written), 0u);
        EXPECT_EQ(channel.Read(c.address, c.dataType, &value), 0u);
        EXPECT_EQ(value, c.written);
        expected.insert(expected.end(), {c.writeLine, c.readLine});
    }
    std::uint16_t value = 0;
    EXPECT_EQ(channel.Read("ER$00000", 6, &value), 0u);
    EXPECT_EQ(channel.Read("ER$0000", 0, &value), 0u);
    EXPECT_EQ(value, 0);
    expected.insert(expected.end(), {"ER\\r", "?E\\r"});
    EXPECT_EQ(Received(), expected);
}

TEST_F(DriverEndToEndTest, LinkComesUpOnTheFirstTransactionAfterOpen) {
    Start({"--set", "DM0001=5"});
    ASSERT_EQ(channel.Open(port), 0u);
    std::uint16_t value = 0;
    EXPECT_EQ(channel.Read("DM$0001", 0, &value), 0u);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(channel.State().LinkUp, 1);
    EXPECT_EQ(Received(), (std::vector<std::string>{"CR\\r", "RD DM0001\\r"}));
}

TEST_F(DriverEndToEndTest, LifecycleOverARealPort) {
    Start({"--set", "DM0001=5"});
    ASSERT_EQ(channel.Open(port), 0u);
    EXPECT_EQ(channel.Open(port), 2u) << "a second open of the same device";
    EXPECT_NE(channel.State().PortHandle, nullptr);

    EXPECT_EQ(channel.Call(DYX_CLOSE_CHANNEL, nullptr), 0u);
    EXPECT_EQ(channel.State().PortHandle, nullptr);
    EXPECT_EQ(channel.Call(DYX_CLOSE_CHANNEL_TOO, nullptr), 0u);
    EXPECT_EQ(channel.Call(DYX_REOPEN_CHANNEL, nullptr), 0u);
    EXPECT_EQ(channel.Call(DYX_REOPEN_CHANNEL, nullptr), 2u);

    ReconfigureParams same;
    std::memset(&same, 0, sizeof same);
    std::strncpy(same.PortName, port.c_str(), sizeof same.PortName - 1);
    same.SerialParams = {19200, 8, 0, 0};
    EXPECT_EQ(channel.Call(DYX_RECONFIGURE_CHANNEL, &same), 2u);
    EXPECT_NE(channel.State().PortHandle, nullptr);

    ReconfigureParams absolute = same;
    std::strncpy(absolute.PortName, "/dev/null", sizeof absolute.PortName - 1);
    EXPECT_EQ(channel.Call(DYX_RECONFIGURE_CHANNEL, &absolute), 2u) << "/dev/null takes no line settings";
    EXPECT_EQ(channel.State().PortHandle, nullptr);
    EXPECT_EQ(channel.Call(DYX_RECONFIGURE_CHANNEL, &same), 0u);

    std::uint16_t value = 0;
    EXPECT_EQ(channel.Read("DM$0001", 0, &value), 0u);
    EXPECT_EQ(value, 5);
}

TEST_F(DriverEndToEndTest, EvenParityIsRefusedOnAPseudoTerminal) {
    Start({});
    TarnelReset();
    EXPECT_EQ(channel.Open(port, 5, {9600, 8, 0, 2}), 2u);
    ASSERT_EQ(TarnelMessageCount(), 1);
    EXPECT_EQ(std::string(TarnelMessageText(0)), "DYXKEYENCE KV Series : Fail to open " + port);
}

TEST_F(DriverEndToEndTest, FailedOpenIsReportedOnceAndTheHostLivesOn) {
    TarnelReset();
    EXPECT_EQ(channel.Open("ttyNoSuch7"), 2u);
    ASSERT_EQ(TarnelMessageCount(), 1);
    EXPECT_EQ(TarnelMessageLevel(0), 32);
    EXPECT_STREQ(TarnelMessageText(0), "DYXKEYENCE KV Series : Fail to open ttyNoSuch7");
}

struct FaultCase {
    const char* name;
    std::vector<std::string> arguments;
    std::uint32_t result;
    std::size_t readLines; // lines "RD DM0001" that reached the simulator
};

TEST_F(DriverEndToEndTest, FaultsGiveTheirResultsWithoutHanging) {
    const FaultCase cases[] = {
        {"silence", {"--faults-after", "1", "--silent-always"}, 2, 6},
        {"two silences", {"--faults-after", "1", "--silent", "2"}, 0, 3},
        {"wrong length", {"--faults-after", "1", "--wrong-length-always"}, 1, 1},
        {"long line", {"--faults-after", "1", "--long-line-always"}, 2, 6},
        {"long line once", {"--faults-after", "1", "--long-line", "1"}, 0, 2},
        {"stray bytes in the reply", {"--faults-after", "1", "--stray-bytes-always"}, 1, 1},
        {"reply without CR", {"--faults-after", "1", "--no-cr-always"}, 1, 1},
        {"reply in slow pieces", {"--faults-after", "1", "--slow-pieces-always", "--piece-gap", "10"}, 0, 1},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = {"--set", "DM0001=42"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        Start(arguments);
        Channel faulty;
        ASSERT_EQ(faulty.Open(port, kShortTimeoutTenMs), 0u);
        ASSERT_EQ(faulty.Call(DYX_OPEN_LINK, nullptr), 0u);
        std::uint16_t value = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(faulty.Read("DM$0001", 0, &value), c.result);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(value, c.result == 0 ? 42 : 0xBEEF);
        EXPECT_EQ(faulty.State().LinkUp, 1);
        faulty.Call(DYX_CLOSE_CHANNEL, nullptr);
        const std::vector<std::string> lines = Received();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "RD DM0001\\r"), static_cast<long>(c.readLines));
    }
}

TEST_F(DriverEndToEndTest, LateLineIsPurgedBeforeTheNextCommand) {
    Start({"--set", "DM0001=42", "--set", "DM0002=7", "--faults-after", "1", "--late-line-always"});
    ASSERT_EQ(channel.Open(port), 0u);
    ASSERT_EQ(channel.Call(DYX_OPEN_LINK, nullptr), 0u);
    std::uint16_t value = 0;
    EXPECT_EQ(channel.Read("DM$0001", 0, &value), 0u);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(channel.Read("DM$0002", 0, &value), 0u);
    EXPECT_EQ(value, 7);
}

struct HandshakeFault {
    const char* option;
    std::uint32_t result;
    std::size_t lines;
};

TEST_F(DriverEndToEndTest, HandshakeFaults) {
    const HandshakeFault cases[] = {
        {"--lone-lf-always", 2, 1}, {"--crlf-only-always", 2, 1}, {"--wrong-length-always", 2, 1},
        {"--no-cr-always", 2, 1},   {"--silent-always", 2, 6},
    };
    for (const HandshakeFault& c : cases) {
        SCOPED_TRACE(c.option);
        Start({c.option});
        Channel faulty;
        ASSERT_EQ(faulty.Open(port, kShortTimeoutTenMs), 0u);
        EXPECT_EQ(faulty.Call(DYX_OPEN_LINK, nullptr), c.result);
        EXPECT_EQ(faulty.State().LinkUp, 0);
        faulty.Call(DYX_CLOSE_CHANNEL, nullptr);
        EXPECT_EQ(Received(), std::vector<std::string>(c.lines, "CR\\r"));
    }
}

TEST_F(DriverEndToEndTest, HangUpMidLineFailsQuicklyAndStaysFailed) {
    Start({"--set", "DM0001=42", "--hang-up-at", "2"});
    ASSERT_EQ(channel.Open(port, 100), 0u);
    ASSERT_EQ(channel.Call(DYX_OPEN_LINK, nullptr), 0u);
    std::uint16_t value = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.Read("DM$0001", 0, &value), 2u);
    EXPECT_EQ(channel.Write("DM$0001", 0, 1), 2u);
    // Six attempts of one-second reads would take six seconds; a hung-up line answers at once.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(value, 0xBEEF);
    EXPECT_EQ(channel.Call(DYX_CLOSE_CHANNEL, nullptr), 0u);
}

} // namespace
