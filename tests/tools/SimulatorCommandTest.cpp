// The simulator's replies over its pseudo-terminal, command by command: exact reply bytes, memory
// changed by writes, and error replies for everything it does not take.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PtyClient.h"
#include "RunningSimulator.h"

namespace toolstest {
namespace {

struct ReplyCase {
    const char* Command;
    const char* Reply;
};

const std::vector<std::string> kInitialValues = {
    "--set", "DM0001=42",       "--set", "DM9999=65535",   "--set", "TM12=7",          "--set", "TM99=99",
    "--set", "00105=1",         "--set", "99915=1",        "--set", "T005=42",         "--set", "t005.preset=100",
    "--set", "T005.contact=1",  "--set", "C012=3",         "--set", "C012.preset=10",  "--set", "CTH1=300",
    "--set", "CTH1.preset=500", "--set", "CTH1.contact=1", "--set", "CTC3.preset=250", "--set", "AT0=1",
    "--set", "AT1=22",          "--set", "AT2=333",        "--set", "AT3=65535",       "--set", "MODE=1",
    "--set", "ERROR=3",         "--set", "MODEL=50",
};

// Reads change nothing, so their order does not matter.
const ReplyCase kReadCases[] = {
    {"CR", "CC\r\n"},
    {"RD DM0001", "00042\r\n"},
    {"RD DM9999", "65535\r\n"},
    {"RD DM0002", "00000\r\n"},
    {"RD TM12", "00007\r\n"},
    {"RD TM99", "00099\r\n"},
    {"RD 00105", "1\r\n"},
    {"RD 00104", "0\r\n"},
    {"RD 99915", "1\r\n"},
    {"RD T005", "1,00042,00100\r\n"},
    {"RD T999", "0,00000,00000\r\n"},
    {"RD C012", "0,00003,00010\r\n"},
    {"RD CTH1", "1,00300,00500\r\n"},
    {"RD CTC3", "0,00000,00250\r\n"},
    {"RD AT", "00001,00022,00333,65535\r\n"},
    {"?M", "1\r\n"},
    {"?E", "03\r\n"},
    {"?K", "0050\r\n"},
};

// Run in this order: each write is followed by the reads that show what it changed.
const ReplyCase kWriteCases[] = {
    {"WR DM1234 00042", "OK\r\n"},
    {"RD DM1234", "00042\r\n"},
    {"WR DM0000 65535", "OK\r\n"},
    {"RD DM0000", "65535\r\n"},
    {"WR DM0000 00000", "OK\r\n"},
    {"RD DM0000", "00000\r\n"},
    {"WR TM12 00008", "OK\r\n"},
    {"RD TM12", "00008\r\n"},
    {"ST 00207", "OK\r\n"},
    {"RD 00207", "1\r\n"},
    {"RD 00206", "0\r\n"},
    {"RS 00207", "OK\r\n"},
    {"RD 00207", "0\r\n"},
    {"WR T005 00300", "OK\r\n"},
    {"WS T005 00400", "OK\r\n"},
    {"RS T005", "OK\r\n"},
    {"RD T005", "0,00300,00400\r\n"},
    {"ST C012", "OK\r\n"},
    {"WS C012 00020", "OK\r\n"},
    {"RD C012", "1,00003,00020\r\n"},
    {"RS C012", "OK\r\n"},
    {"RD C012", "0,00003,00020\r\n"},
    {"WR CTH1 00301", "OK\r\n"},
    {"RD CTH1", "1,00301,00500\r\n"},
    {"WS CTC3 00300", "OK\r\n"},
    {"RD CTC3", "0,00000,00300\r\n"},
    {"ST CTC1", "OK\r\n"},
    {"RD CTC1", "1,00000,00000\r\n"},
    {"RS CTC1", "OK\r\n"},
    {"RD CTC1", "0,00000,00000\r\n"},
    {"M0", "OK\r\n"},
    {"?M", "0\r\n"},
    {"M1", "OK\r\n"},
    {"?M", "1\r\n"},
    {"ER", "OK\r\n"},
    {"?E", "00\r\n"},
};

const ReplyCase kErrorCases[] = {
    {"", "E0\r\n"},
    {"XX", "E0\r\n"},
    {"rd dm0001", "E0\r\n"},
    {"RD", "E0\r\n"},
    {"RD ", "E0\r\n"},
    {"RD DM123", "E0\r\n"},
    {"RD DM12345", "E0\r\n"},
    {"RD DM12AB", "E0\r\n"},
    {"RD DM12  ", "E0\r\n"},
    {"RD  DM0001", "E0\r\n"},
    {"RD DM0001 ", "E0\r\n"},
    {"RD TM1", "E0\r\n"},
    {"RD T05", "E0\r\n"},
    {"RD CTH12", "E0\r\n"},
    {"RD 0010", "E0\r\n"},
    {"RD AT0", "E0\r\n"},
    {"WR DM0001", "E0\r\n"},
    {"WR DM0001 42", "E0\r\n"},
    {"WR DM0001 0004A", "E0\r\n"},
    {"WR DM0001  00042", "E0\r\n"},
    {"WR 00105 00001", "E0\r\n"},
    {"ST DM0001", "E0\r\n"},
    {"WS DM0001 00001", "E0\r\n"},
    {"WS TM01 00001", "E0\r\n"},
    {"WR AT 00001", "E0\r\n"},
    {"ST AT", "E0\r\n"},
    {"M2", "E0\r\n"},
    {"CR1", "E0\r\n"},
    {"?X", "E0\r\n"},
    {"WR DM0001 65536", "E1\r\n"},
    {"WR DM0001 99999", "E1\r\n"},
    {"WS T005 70000", "E1\r\n"},
    {"RD 00116", "E1\r\n"},
    {"ST 00199", "E1\r\n"},
};

class SimulatorCommandTest : public ::testing::Test {
protected:
    RunningSimulator Simulator{kInitialValues};
    PtyClient Client{Simulator.DevicePath()};

    void SetUp() override {
        ASSERT_TRUE(Simulator.Ready()) << Simulator.ReadyLine();
        ASSERT_TRUE(Client.IsOpen());
    }

    void Walk(const ReplyCase* first, const ReplyCase* last) {
        for (const ReplyCase* c = first; c != last; ++c) {
            SCOPED_TRACE(c->Command);
            EXPECT_EQ(Client.Exchange(c->Command), c->Reply);
        }
    }
};

TEST_F(SimulatorCommandTest, ReadsAnswerWithTheExactReplyShape) {
    Walk(std::begin(kReadCases), std::end(kReadCases));
}

TEST_F(SimulatorCommandTest, WritesChangeWhatLaterReadsReturn) {
    Walk(std::begin(kWriteCases), std::end(kWriteCases));
}

TEST_F(SimulatorCommandTest, CommandsItDoesNotTakeGetAnErrorReply) {
    Walk(std::begin(kErrorCases), std::end(kErrorCases));
}

TEST_F(SimulatorCommandTest, ErrorRepliesLeaveMemoryUnchanged) {
    Walk(std::begin(kErrorCases), std::end(kErrorCases));
    EXPECT_EQ(Client.Exchange("RD DM0001"), "00042\r\n");
    EXPECT_EQ(Client.Exchange("RD T005"), "1,00042,00100\r\n");
    EXPECT_EQ(Client.Exchange("RD 00105"), "1\r\n");
    EXPECT_EQ(Client.Exchange("?M"), "1\r\n");
}

TEST_F(SimulatorCommandTest, OverlongLineGetsAnErrorReplyAndServingGoesOn) {
    Client.Send(std::string(400, 'A') + "\r");
    EXPECT_EQ(Client.ReadLine(), "E0\r\n");
    EXPECT_EQ(Client.Exchange("RD DM0001"), "00042\r\n");
}

TEST_F(SimulatorCommandTest, LineFeedsFromTheHostAreIgnored) {
    Client.Send("\nRD DM0001\r\n");
    EXPECT_EQ(Client.ReadLine(), "00042\r\n");
    EXPECT_EQ(Client.Exchange("CR"), "CC\r\n");
}

TEST_F(SimulatorCommandTest, CommandsSentTogetherAreAnsweredInOrder) {
    Client.Send("RD DM0001\rRD TM12\r?M\r");
    EXPECT_EQ(Client.ReadBytes(7 + 7 + 3), "00042\r\n00007\r\n1\r\n");
}

} // namespace
} // namespace toolstest
