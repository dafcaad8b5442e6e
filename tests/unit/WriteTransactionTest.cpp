// Write transaction (code 7) against the recording fake: every row of the write table, the bit
// rule, the "OK" check, attempts.
#include <gtest/gtest.h>

#include "FakePortFixture.h"
#include "ItemRequest.h"
#include "Protocol.h"

namespace {

using fake::Line;

class WriteTransactionTest : public FakePortTest {
protected:
    std::uint32_t Write(ItemRequest& item) { return protocol::WriteItem(&item.request); }
};

struct WriteCase {
    const char* address;
    std::uint32_t dataType;
    std::uint16_t value;
    const char* line; // without the CR; null when nothing may be sent
};

const WriteCase kWriteCases[] = {
    {"DM$1234", 0, 42, "WR DM1234 00042"},
    {"DM$1234", 0, 0, "WR DM1234 00000"},
    {"DM$1234", 1, 65535, "WR DM1234 65535"},
    {"TM$0012", 0, 7, "WR TM12 00007"},
    {"RCR0012", 0, 100, "WR C012 00100"},
    {"RCP0012", 0, 100, "WS C012 00100"},
    {"RTR0005", 0, 300, "WR T005 00300"},
    {"RTP0005", 0, 300, "WS T005 00300"},
    {"RHR0001", 0, 300, "WR CTH1 00300"},
    {"RC20002", 0, 300, "WS CTC2 00300"},
    {"RD$00105", 6, 1, "ST 00105"},
    {"RD$00105", 6, 0, "RS 00105"},
    {"RD$00105", 0x106, 2, "RS 00105"},
    {"RD$00105", 6, 65535, "RS 00105"},
    {"RC$00012", 6, 1, "ST C012"},
    {"RC$00012", 6, 0, "RS C012"},
    {"RT$00005", 6, 1, "ST T005"},
    {"RT$00005", 6, 0, "RS T005"},
    {"RCC00001", 6, 0, "RS CTC1"},
    {"RCC00001", 6, 1, nullptr},
    {"M$$00000", 6, 1, "M1"},
    {"M$$00000", 6, 0, "M0"},
    {"M$$00000", 6, 5, "M0"},
    {"DM$12AB", 0, 9, "WR DM12AB 00009"},
    {"DM$12", 0, 9, "WR DM12   00009"},
    {"RHP0001", 0, 1, nullptr},
    {"RC10001", 0, 1, nullptr},
    {"ER$0000", 0, 1, nullptr},
    {"RK$0000", 0, 1, nullptr},
    {"AT00000", 0, 1, nullptr},
    {"AT10000", 0, 1, nullptr},
    {"ER$00000", 6, 1, nullptr},
    {"RH$00001", 6, 1, nullptr},
    {"DM$1234", 6, 1, nullptr},
    {"DM$1234", 3, 1, nullptr},
    {"DM$1234567", 0, 1, nullptr},
};

TEST_F(WriteTransactionTest, EveryRowSendsItsExactLine) {
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(std::string(c.address) + " = " + std::to_string(c.value));
        SetUp();
        OpenChannelPort();
        Fake().Replies.push_back(Line("OK\r\n"));
        ItemRequest item(state, DYX_WRITE_ITEM, c.address, c.dataType, c.value);
        if (c.line == nullptr) {
            EXPECT_EQ(Write(item), 1u);
            EXPECT_TRUE(Fake().Calls.empty());
        } else {
            EXPECT_EQ(Write(item), 0u);
            EXPECT_EQ(Lines(), std::vector<std::string>{std::string(c.line) + "\r"});
        }
        EXPECT_EQ(item.Value(), c.value);
        EXPECT_TRUE(item.GuardsIntact());
    }
}

TEST_F(WriteTransactionTest, OnlyAReplyBeginningWithOkIsAccepted) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"OK", 0}, {"OK and more", 0}, {"OKAY", 0}, {"ok", 1}, {"O", 1}, {"", 1}, {"E1", 1}, {"NG", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        SetUp();
        OpenChannelPort();
        Fake().Replies = {Line(std::string(c.first) + "\r\n"), Line("OK\r\n")};
        ItemRequest item(state, DYX_WRITE_ITEM, "DM$1234", 0, 42);
        EXPECT_EQ(Write(item), c.second);
        EXPECT_EQ(Lines().size(), 1u);
    }
}

TEST_F(WriteTransactionTest, SilenceCostsSixIdenticalLines) {
    OpenChannelPort();
    ItemRequest item(state, DYX_WRITE_ITEM, "DM$1234", 0, 42);
    EXPECT_EQ(Write(item), 2u);
    EXPECT_EQ(Lines(), std::vector<std::string>(6, "WR DM1234 00042\r"));
    EXPECT_EQ(state.LinkUp, 1);
}

TEST_F(WriteTransactionTest, TwoSilencesThenOkTakeThreeLines) {
    OpenChannelPort();
    Fake().Replies = {{}, {}, Line("OK\r\n")};
    ItemRequest item(state, DYX_WRITE_ITEM, "RD$00105", 6, 1);
    EXPECT_EQ(Write(item), 0u);
    EXPECT_EQ(Lines(), std::vector<std::string>(3, "ST 00105\r"));
}

TEST_F(WriteTransactionTest, RefusedWriteStillBringsTheLinkUpFirst) {
    OpenChannelPort(false);
    ItemRequest item(state, DYX_WRITE_ITEM, "DM$1234", 6, 1);
    EXPECT_EQ(Write(item), 2u);
    EXPECT_EQ(Lines(), std::vector<std::string>(6, "CR\r"));

    SetUp();
    OpenChannelPort(false);
    Fake().Replies = {Line("CC\r\n")};
    ItemRequest refused(state, DYX_WRITE_ITEM, "RCC00001", 6, 1);
    EXPECT_EQ(Write(refused), 1u);
    EXPECT_EQ(Lines(), std::vector<std::string>{"CR\r"});
}

} // namespace
