// Line exchange and link handshake against the recording fake.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakePortFixture.h"
#include "LineExchange.h"
#include "Protocol.h"

namespace {

using fake::Line;
using fake::ReadEvent;
using fake::Reply;

class LineExchangeTest : public FakePortTest {};

struct HandshakeCase {
    const char* name;
    std::vector<Reply> replies;
    std::uint8_t result;
    std::size_t linesSent;
    std::uint16_t replyLength;
    std::uint16_t linkUp;
};

TEST_F(LineExchangeTest, HandshakeOutcomes) {
    const Reply silence = {};
    const HandshakeCase cases[] = {
        {"CC at once", {Line("CC\r\n")}, 0, 1, 2, 1},
        {"CC after two silences", {silence, silence, Line("CC\r\n")}, 0, 3, 2, 1},
        {"CC in slow pieces", {{ReadEvent::Bytes("C"), ReadEvent::Bytes("C\r"), ReadEvent::Bytes("\n")}}, 0, 1, 2, 1},
        {"CC then LF without CR", {Line("CC\n")}, 2, 1, 1, 0},
        {"three characters", {Line("CCC\r\n")}, 2, 1, 3, 0},
        {"lone LF", {Line("\n")}, 2, 1, 65535, 0},
        {"CR LF only", {Line("\r\n")}, 2, 1, 0, 0},
        {"two other characters six times",
         {Line("NG\r\n"), Line("NG\r\n"), Line("NG\r\n"), Line("NG\r\n"), Line("NG\r\n"), Line("NG\r\n")},
         2,
         6,
         2,
         0},
        {"silence", {}, 2, 6, 0, 0},
        {"reply without its LF",
         {Line("CC\r"), Line("CC\r"), Line("CC\r"), Line("CC\r"), Line("CC\r"), Line("CC\r")},
         2,
         6,
         3,
         0},
        {"a failing read, then CC", {{ReadEvent::Failure()}, Line("CC\r\n")}, 0, 2, 2, 1},
        {"lower case cc", {Line("cc\r\n")}, 2, 6, 0, 0},
    };
    for (const HandshakeCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        OpenChannelPort(false);
        for (const Reply& reply : c.replies) Fake().Replies.push_back(reply);
        EXPECT_EQ(protocol::EstablishLink(state), c.result);
        EXPECT_EQ(Lines(), std::vector<std::string>(c.linesSent, "CR\r"));
        EXPECT_EQ(state.ReplyLength, c.replyLength);
        EXPECT_EQ(state.LinkUp, c.linkUp);
        EXPECT_EQ(state.CommandLength, 2);
    }
}

TEST_F(LineExchangeTest, SuccessfulHandshakeLeavesTheReplyWithItsCrAndANul) {
    OpenChannelPort(false);
    Fake().Replies.push_back(Line("CC\r\n"));
    ASSERT_EQ(protocol::EstablishLink(state), 0);
    EXPECT_EQ(std::string(state.ReplyBuffer, 4), std::string("CC\r\0", 4));
}

TEST_F(LineExchangeTest, FailedHandshakeNeverClearsLinkUp) {
    OpenChannelPort(true);
    const DriverRequest request = {&state, DYX_OPEN_LINK, {0, 0}, nullptr};
    EXPECT_EQ(protocol::OpenLink(&request), 2u);
    EXPECT_EQ(state.LinkUp, 1);
    EXPECT_EQ(Lines().size(), 6u);
}

TEST_F(LineExchangeTest, OpenLinkPurgesWaitingInputFirst) {
    OpenChannelPort(false);
    Fake().Input.push_back(ReadEvent::Bytes("CC\r\n"));
    const DriverRequest request = {&state, DYX_OPEN_LINK, {0, 0}, nullptr};
    EXPECT_EQ(protocol::OpenLink(&request), 2u);
    EXPECT_EQ(Fake().CallNames().front(), "ClearCommError");
    EXPECT_EQ(state.LinkUp, 0);
}

TEST_F(LineExchangeTest, OpenLinkWithoutAPortFailsAfterSixAttempts) {
    const DriverRequest request = {&state, DYX_OPEN_LINK, {0, 0}, nullptr};
    EXPECT_EQ(protocol::OpenLink(&request), 2u);
    const std::vector<std::string> names = Fake().CallNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "WriteFile"), 6);
    EXPECT_EQ(state.LinkUp, 0);
}

TEST_F(LineExchangeTest, EverySendPurgesBeforeItWrites) {
    OpenChannelPort();
    Fake().Input.push_back(ReadEvent::Bytes("stale\r\n"));
    state.CommandLength = 0;
    EXPECT_EQ(protocol::SendCommand(state), protocol::kSent);
    EXPECT_EQ(Lines(), std::vector<std::string>{"\r"});
    const std::vector<std::string> names = Fake().CallNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "ClearCommError");
    EXPECT_EQ(names.back(), "WriteFile");
    EXPECT_TRUE(Fake().Input.empty());
}

TEST_F(LineExchangeTest, FailedOrShortWriteIsNotSent) {
    OpenChannelPort();
    protocol::CopyChars("?M", state.CommandBuffer, 2);
    state.CommandLength = 2;
    Fake().ShortWriteBy = 1;
    EXPECT_EQ(protocol::SendCommand(state), protocol::kNotSent);
    Fake().ShortWriteBy = 0;
    Fake().FailingCalls = {"WriteFile"};
    EXPECT_EQ(protocol::SendCommand(state), protocol::kNotSent);
    EXPECT_EQ(std::string(state.CommandBuffer, 3), "?M\r");
}

TEST_F(LineExchangeTest, ReceiveReadsOneByteAtATimeAndStopsAtTheLineFeed) {
    OpenChannelPort();
    Fake().Input.push_back(ReadEvent::Bytes("00042\r\nnext"));
    EXPECT_EQ(protocol::ReceiveReply(state), protocol::kLineReceived);
    EXPECT_EQ(state.ReplyLength, 5);
    EXPECT_EQ(std::string(state.ReplyBuffer, 7), std::string("00042\r\0", 7));
    EXPECT_EQ(Fake().Calls, std::vector<std::string>(7, "ReadFile(1)"));
    ASSERT_EQ(Fake().Input.size(), 1u);
    EXPECT_EQ(Fake().Input.front().Data, "next");
}

TEST_F(LineExchangeTest, ReceiveKeepsTextCrAndNulBytesAsText) {
    OpenChannelPort();
    Fake().Input.push_back(ReadEvent::Bytes(std::string("a\rb\0c\r\n", 7)));
    EXPECT_EQ(protocol::ReceiveReply(state), protocol::kLineReceived);
    EXPECT_EQ(state.ReplyLength, 5);
    EXPECT_EQ(std::string(state.ReplyBuffer, 5), std::string("a\rb\0c", 5));
}

TEST_F(LineExchangeTest, ReceiveThatTimesOutCountsTheBytesStored) {
    OpenChannelPort();
    Fake().Input.push_back(ReadEvent::Bytes("000"));
    EXPECT_EQ(protocol::ReceiveReply(state), protocol::kNoLine);
    EXPECT_EQ(state.ReplyLength, 3);
}

TEST_F(LineExchangeTest, LongestLineThatFitsIsReceived) {
    OpenChannelPort();
    Fake().Input.push_back(ReadEvent::Bytes(std::string(254, 'x') + "\r\n"));
    EXPECT_EQ(protocol::ReceiveReply(state), protocol::kLineReceived);
    EXPECT_EQ(state.ReplyLength, 254);
    EXPECT_EQ(state.ReplyBuffer[255], '\0');
}

TEST_F(LineExchangeTest, OverlongLineIsAFailedReceiveAndNeverPassesTheBuffer) {
    OpenChannelPort();
    state.AddressField[0] = 'Z';
    Fake().Input.push_back(ReadEvent::Bytes(std::string(300, 'y') + "\r\n"));
    EXPECT_EQ(protocol::ReceiveReply(state), protocol::kNoLine);
    EXPECT_EQ(state.ReplyLength, 256);
    EXPECT_EQ(state.AddressField[0], 'Z');
    EXPECT_EQ(Fake().ReadCalls, 256);
    // The rest stays in the input, for the next send's purge to drop.
    EXPECT_EQ(Fake().Input.front().Data.size(), 46u);
}

TEST_F(LineExchangeTest, OverlongLinesMakeEveryAttemptFail) {
    OpenChannelPort(false);
    for (int i = 0; i < 6; ++i) Fake().Replies.push_back(Line(std::string(400, 'C') + "\r\n"));
    EXPECT_EQ(protocol::EstablishLink(state), protocol::kLinkFailed);
    EXPECT_EQ(Lines().size(), 6u);
}

TEST_F(LineExchangeTest, CopyAndCompareAreCountedAndIgnoreNul) {
    char destination[6] = {'-', '-', '-', '-', '-', '-'};
    protocol::CopyChars("ab\0cd", destination, 5);
    EXPECT_EQ(std::string(destination, 6), std::string("ab\0cd-", 6));
    protocol::CopyChars("zz", destination, 0);
    EXPECT_EQ(destination[0], 'a');
    EXPECT_EQ(protocol::CompareChars("ab\0x", "ab\0y", 4), 1);
    EXPECT_EQ(protocol::CompareChars("ab\0x", "ab\0y", 3), 0);
    EXPECT_EQ(protocol::CompareChars("OK", "ok", 2), 1);
    EXPECT_EQ(protocol::CompareChars("A", "B", 0), 0);
}

} // namespace
