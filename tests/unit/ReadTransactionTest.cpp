// Read transaction (code 5) against the recording fake: every row of the read table, reply shapes,
// attempts.
#include <gtest/gtest.h>

#include "FakePortFixture.h"
#include "ItemRequest.h"
#include "Protocol.h"
#include "Transactions.h"

namespace {

using fake::Line;
using fake::ReadEvent;

constexpr std::uint16_t kUntouched = 0xBEEF;

class ReadTransactionTest : public FakePortTest {
protected:
    std::uint32_t Read(ItemRequest& item) { return protocol::ReadItem(&item.request); }
};

struct ReadCase {
    const char* address;
    std::uint32_t dataType;
    const char* line; // what goes on the line, without the CR
    const char* reply;
    std::uint32_t result;
    std::uint16_t value;
};

const char kThirteen[] = "1,00042,00100";
const char kTrimmers[] = "00012,00345,06789,65535";

const ReadCase kReadCases[] = {
    {"M$$00000", 6, "?M", "1", 0, 1},
    {"M$$00000", 6, "?M", "0", 0, 0},
    {"M$$00000", 6, "?M", "2", 1, kUntouched},
    {"M$$00000", 6, "?M", "10", 1, kUntouched},
    {"ER$00000", 6, "ER", "OK", 0, 0},
    {"ER$00000", 6, "ER", "OK and more", 0, 0},
    {"ER$00000", 6, "ER", "NG", 1, 0},
    {"ER$00000", 6, "ER", "O", 1, 0},
    {"RC$00012", 6, "RD C012", kThirteen, 0, 1},
    {"RH$00001", 6, "RD CTH1", "0,00042,00100", 0, 0},
    {"RCC00003", 6, "RD CTC3", kThirteen, 0, 1},
    {"RT$00005", 6, "RD T005", kThirteen, 0, 1},
    {"RD$00105", 6, "RD 00105", "1", 0, 1},
    {"RD$00105", 6, "RD 00105", "10", 1, kUntouched},
    {"ER$0000", 0, "?E", "E3", 0, 3},
    {"ER$0000", 0, "?E", "3", 1, kUntouched},
    {"RK$0000", 0, "?K", "KV50", 0, 50},
    {"RCR0012", 0, "RD C012", kThirteen, 0, 42},
    {"RCP0012", 0, "RD C012", kThirteen, 0, 100},
    {"RHR0001", 1, "RD CTH1", kThirteen, 0, 42},
    {"RHP0001", 0, "RD CTH1", kThirteen, 0, 100},
    {"RC10002", 0, "RD CTC2", kThirteen, 0, 42},
    {"RC20002", 0, "RD CTC2", kThirteen, 0, 100},
    {"RTR0005", 0, "RD T005", kThirteen, 0, 42},
    {"RTP0005", 0, "RD T005", kThirteen, 0, 100},
    {"DM$1234", 0, "RD DM1234", "00042", 0, 42},
    {"DM$1234", 0, "RD DM1234", "65535", 0, 65535},
    {"DM$1234", 0, "RD DM1234", "0042", 1, kUntouched},
    {"DM$1234", 0, "RD DM1234", "000042", 1, kUntouched},
    {"TM$0012", 0, "RD TM12", "00007", 0, 7},
    {"AT00000", 0, "RD AT", kTrimmers, 0, 12},
    {"AT10000", 0, "RD AT", kTrimmers, 0, 345},
    {"DM$12AB", 0, "RD DM12AB", "00001", 0, 1},
    {"DM$12", 0, "RD DM12  ", "E1", 1, kUntouched},
    {"DM$12345", 0, "RD DM1234", "00009", 0, 9},
    // A converted field that is not a 16-bit decimal number is a reply of the wrong form.
    {"DM$1234", 0, "RD DM1234", "65536", 1, kUntouched},
    {"DM$1234", 0, "RD DM1234", "99999", 1, kUntouched},
    {"DM$1234", 0, "RD DM1234", "00A42", 1, kUntouched},
    {"DM$1234", 0, "RD DM1234", "-0042", 1, kUntouched},
    {"RCR0012", 0, "RD C012", "1,0004x,00100", 1, kUntouched},
    {"RC$00012", 6, "RD C012", "X,00042,00100", 1, kUntouched},
    {"RK$0000", 0, "?K", "KV5 ", 1, kUntouched},
};

TEST_F(ReadTransactionTest, EveryRowSendsItsLineAndDecodesItsReply) {
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(std::string(c.address) + " <- " + c.reply);
        SetUp();
        OpenChannelPort();
        Fake().Replies.push_back(Line(std::string(c.reply) + "\r\n"));
        ItemRequest item(state, DYX_READ_ITEM, c.address, c.dataType, kUntouched);
        EXPECT_EQ(Read(item), c.result);
        EXPECT_EQ(Lines(), std::vector<std::string>{std::string(c.line) + "\r"});
        EXPECT_EQ(item.Value(), c.value);
        EXPECT_TRUE(item.GuardsIntact());
        EXPECT_EQ(state.LinkUp, 1);
    }
}

TEST_F(ReadTransactionTest, AddressesWithoutAReadCommandSendNothing) {
    const std::pair<const char*, std::uint32_t> cases[] = {{"DM$1234", 6}, {"RD$00105", 0},    {"XX$1234", 0},
                                                           {"DM$1234", 2}, {"DM$12345678", 0}, {"", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        SetUp();
        OpenChannelPort();
        ItemRequest item(state, DYX_READ_ITEM, c.first, c.second, kUntouched);
        EXPECT_EQ(Read(item), 1u);
        EXPECT_TRUE(Fake().Calls.empty());
        EXPECT_EQ(item.Value(), kUntouched);
    }
}

TEST_F(ReadTransactionTest, SilenceCostsSixIdenticalLinesAndKeepsTheLinkUp) {
    OpenChannelPort();
    ItemRequest item(state, DYX_READ_ITEM, "DM$1234", 0, kUntouched);
    EXPECT_EQ(Read(item), 2u);
    EXPECT_EQ(Lines(), std::vector<std::string>(6, "RD DM1234\r"));
    EXPECT_EQ(state.LinkUp, 1);
    EXPECT_EQ(item.Value(), kUntouched);
}

TEST_F(ReadTransactionTest, TwoSilencesThenAGoodReplyTakeThreeLines) {
    OpenChannelPort();
    Fake().Replies = {{}, {ReadEvent::Bytes("000")}, Line("00042\r\n")};
    ItemRequest item(state, DYX_READ_ITEM, "DM$1234", 0, kUntouched);
    EXPECT_EQ(Read(item), 0u);
    EXPECT_EQ(Lines(), std::vector<std::string>(3, "RD DM1234\r"));
    EXPECT_EQ(item.Value(), 42);
}

TEST_F(ReadTransactionTest, WrongShapeEndsTheCallAfterOneExchange) {
    OpenChannelPort();
    Fake().Replies = {Line("0042\r\n"), Line("00042\r\n")};
    ItemRequest item(state, DYX_READ_ITEM, "DM$1234", 0, kUntouched);
    EXPECT_EQ(Read(item), 1u);
    EXPECT_EQ(Lines().size(), 1u);
}

TEST_F(ReadTransactionTest, StrayInputBeforeTheReplyIsPurged) {
    OpenChannelPort();
    Fake().Input.push_back(ReadEvent::Bytes("99999\r\n"));
    Fake().Replies = {Line("00042\r\n")};
    ItemRequest item(state, DYX_READ_ITEM, "DM$1234", 0, kUntouched);
    EXPECT_EQ(Read(item), 0u);
    EXPECT_EQ(item.Value(), 42);
}

TEST_F(ReadTransactionTest, LinkDownRunsTheHandshakeFirst) {
    OpenChannelPort(false);
    Fake().Replies = {Line("CC\r\n"), Line("00042\r\n")};
    ItemRequest item(state, DYX_READ_ITEM, "DM$1234", 0, kUntouched);
    EXPECT_EQ(Read(item), 0u);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"CR\r", "RD DM1234\r"}));
    EXPECT_EQ(state.LinkUp, 1);
}

TEST_F(ReadTransactionTest, FailedHandshakeSendsNoCommandEvenForAnInvalidAddress) {
    for (const char* address : {"DM$1234", "XX$0000"}) {
        SCOPED_TRACE(address);
        SetUp();
        OpenChannelPort(false);
        ItemRequest item(state, DYX_READ_ITEM, address, 0, kUntouched);
        EXPECT_EQ(Read(item), 2u);
        EXPECT_EQ(Lines(), std::vector<std::string>(6, "CR\r"));
        EXPECT_EQ(state.LinkUp, 0);
    }
}

TEST_F(ReadTransactionTest, ClosedPortFailsWithTwo) {
    state.LinkUp = 1;
    ItemRequest item(state, DYX_READ_ITEM, "DM$1234", 0, kUntouched);
    EXPECT_EQ(Read(item), 2u);
    EXPECT_TRUE(Fake().Writes.empty());
}

TEST_F(ReadTransactionTest, ParseDecimalKeepsItsModularArithmetic) {
    const std::pair<const char*, std::uint16_t> cases[] = {
        {"00042", 42}, {"65535", 65535}, {"65536", 0}, {"99999", 34463}, {"00A42", 1742}, {"", 0}, {"7", 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(protocol::ParseDecimal(c.first, static_cast<std::uint16_t>(std::strlen(c.first))), c.second);
    }
}

TEST_F(ReadTransactionTest, IndicesWithoutARowBuildNothing) {
    for (std::uint16_t index : {7, 8, 9, 24, 99, 1000}) {
        SCOPED_TRACE(index);
        state.CommandLength = 77;
        state.CommandBuffer[0] = '#';
        EXPECT_EQ(protocol::BuildReadCommand(state, index), protocol::kNoCommand);
        EXPECT_EQ(state.CommandLength, 77);
        EXPECT_EQ(state.CommandBuffer[0], '#');
    }
}

} // namespace
