// The exported entry point: dispatch of every function code, and the driver's description.
#include <gtest/gtest.h>

#include <cstring>

#include "DriverHandlers.h"
#include "FakePortFixture.h"

namespace {

class EntryPointTest : public FakePortTest {};

TEST_F(EntryPointTest, CodesWithoutAnOperationAnswerOneWithNullPointers) {
    for (std::uint32_t code : {0u, 4u, 6u, 8u, 9u, 10u, 16u, 17u, 255u, 0x10000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(code);
        const DriverRequest request = {nullptr, code, {0, 0}, nullptr};
        EXPECT_EQ(DyxMain(&request), 1u);
    }
    EXPECT_TRUE(Fake().Calls.empty());
}

TEST_F(EntryPointTest, RefusingCodesChangeNothing) {
    std::memset(&state, 0x3C, sizeof state);
    const ChannelState before = state;
    unsigned char params[64];
    std::memset(params, 0x7E, sizeof params);
    for (std::uint32_t code : {0u, 4u, 6u, 8u, 9u, 10u, 16u}) {
        const DriverRequest request = {&state, code, {0, 0}, params};
        EXPECT_EQ(DyxMain(&request), 1u);
    }
    EXPECT_EQ(std::memcmp(&state, &before, sizeof state), 0);
    for (unsigned char byte : params) EXPECT_EQ(byte, 0x7E);
}

TEST_F(EntryPointTest, NullRequestOrMissingRecordsAreRefused) {
    EXPECT_EQ(DyxMain(nullptr), 1u);
    for (std::uint32_t code : {1u, 2u, 3u, 5u, 7u, 11u, 12u, 13u, 15u}) {
        SCOPED_TRACE(code);
        const DriverRequest request = {nullptr, code, {0, 0}, nullptr};
        EXPECT_EQ(DyxMain(&request), 1u);
    }
    for (std::uint32_t code : {1u, 3u, 5u, 7u, 14u, 15u}) {
        SCOPED_TRACE(code);
        const DriverRequest request = {&state, code, {0, 0}, nullptr};
        EXPECT_EQ(DyxMain(&request), 1u);
    }
}

TEST_F(EntryPointTest, EveryCodeReachesItsHandler) {
    // Codes that need only the channel, on a channel with no port: each answers as its handler does.
    struct Case {
        std::uint32_t code;
        std::uint32_t result;
    };
    const Case cases[] = {{2, 2}, {11, 0}, {12, 0}, {13, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        SetUp();
        const DriverRequest request = {&state, c.code, {0, 0}, nullptr};
        EXPECT_EQ(DyxMain(&request), c.result);
    }

    OpenParams open;
    std::memset(&open, 0, sizeof open);
    std::strcpy(open.PortName, "COM1");
    open.PortEnabled = 1;
    open.SerialParams = {9600, 8, 0, 0};
    const DriverRequest openRequest = {&state, 1, {0, 0}, &open};
    EXPECT_EQ(DyxMain(&openRequest), 0u);
    EXPECT_NE(state.PortHandle, nullptr);

    Fake().Replies = {fake::Line("CC\r\n"), fake::Line("00042\r\n"), fake::Line("OK\r\n")};
    const DriverRequest linkRequest = {&state, 2, {0, 0}, nullptr};
    EXPECT_EQ(DyxMain(&linkRequest), 0u);

    AddressParams address;
    std::memset(&address, 0, sizeof address);
    address.AddressText = "DM$0001";
    const DriverRequest addressRequest = {&state, 3, {0, 0}, &address};
    EXPECT_EQ(DyxMain(&addressRequest), 0u);
    EXPECT_EQ(address.ResultWords[3], 255u);

    ItemValue value = {{0, 0}, 0};
    ItemParams item;
    std::memset(&item, 0, sizeof item);
    item.AddressText = "DM$0001";
    item.Item = &value;
    const DriverRequest readRequest = {&state, 5, {0, 0}, &item};
    EXPECT_EQ(DyxMain(&readRequest), 0u);
    EXPECT_EQ(value.Value, 42);
    const DriverRequest writeRequest = {&state, 7, {0, 0}, &item};
    EXPECT_EQ(DyxMain(&writeRequest), 0u);
    EXPECT_EQ(Fake().Writes.back(), "WR DM0001 00042\r");

    ReconfigureParams reconfigure;
    std::memset(&reconfigure, 0, sizeof reconfigure);
    std::strcpy(reconfigure.PortName, "COM2");
    reconfigure.SerialParams = {9600, 8, 0, 0};
    const DriverRequest reconfigureRequest = {&state, 15, {0, 0}, &reconfigure};
    EXPECT_EQ(DyxMain(&reconfigureRequest), 0u);
    EXPECT_STREQ(state.PortSettings.PortName, "COM2");
}

TEST_F(EntryPointTest, DescribeFillsEveryFieldTheSameEachTime) {
    DriverDescription first;
    std::memset(&first, 0xCC, sizeof first);
    const DriverRequest request = {nullptr, DYX_DESCRIBE_DRIVER, {0, 0}, &first};
    ASSERT_EQ(DyxMain(&request), 0u);
    EXPECT_EQ(first.FirstWord, 70u);
    EXPECT_STREQ(first.DriverName, "KEYENCE KV Series");
    EXPECT_EQ(first.StateSize, sizeof(void*) == 4 ? 564u : driver::kStateSize);
    EXPECT_GE(first.StateSize, sizeof(ChannelState));
    EXPECT_GE(first.StateSize, 564u);
    EXPECT_EQ(first.FifthWord, 4u);
    EXPECT_EQ(first.DefaultSerialParams.Baud, 9600);
    EXPECT_EQ(first.DefaultSerialParams.DataBits, 8);
    EXPECT_EQ(first.DefaultSerialParams.StopBitsCode, 0);
    EXPECT_EQ(first.DefaultSerialParams.ParityCode, 2);
    EXPECT_EQ(first.LastWord, 0u);

    DriverDescription second;
    std::memset(&second, 0, sizeof second);
    const DriverRequest again = {&state, DYX_DESCRIBE_DRIVER, {7, 7}, &second};
    ASSERT_EQ(DyxMain(&again), 0u);
    EXPECT_EQ(second.DriverName, first.DriverName);
    EXPECT_EQ(second.Banner, first.Banner);
    EXPECT_EQ(second.FirstWord, 70u);
    EXPECT_EQ(second.StateSize, first.StateSize);
    EXPECT_EQ(second.FifthWord, 4u);
    EXPECT_EQ(std::memcmp(&second.DefaultSerialParams, &first.DefaultSerialParams, sizeof(SerialParams)), 0);
}

std::string Repeat(unsigned char byte, int count) {
    return std::string(static_cast<std::size_t>(count), static_cast<char>(byte));
}

TEST_F(EntryPointTest, BannerIsTheBoxByteForByte) {
    const std::string banner = driver::BannerText();
    ASSERT_EQ(banner.size(), 379u);
    const std::string bar = "\xBA";
    const std::string lines[] = {
        " \xC9" + Repeat(0xCD, 59) + "\xBB",
        " " + bar + " " + Repeat(0xDB, 5) + Repeat(0xB2, 6) + Repeat(0xB1, 6) + Repeat(0xB0, 6) + " D Y X K V " +
            Repeat(0xB0, 6) + Repeat(0xB1, 6) + Repeat(0xB2, 6) + Repeat(0xDB, 5) + " " + bar,
        " " + bar + std::string(10, ' ') + "KEYENCE KV Series , driver Installed." + std::string(12, ' ') + bar,
        " " + bar + std::string(9, ' ') + "KEYENCE Super Micro PLC -  ascii Protocol" + std::string(9, ' ') + bar,
    };
    std::string expectedStart = "\n";
    for (const std::string& line : lines) expectedStart += line + "\n";
    EXPECT_EQ(banner.substr(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(banner.substr(316), " \xC8" + Repeat(0xCD, 59) + "\xBC\n");

    // Line 5: "Version 7.00" at its end, centred within the 59 inner columns.
    const std::string versionLine = banner.substr(253, 63);
    ASSERT_EQ(versionLine.substr(0, 2), " " + bar);
    ASSERT_EQ(versionLine.substr(61), bar + "\n");
    const std::string inside = versionLine.substr(2, 59);
    const std::size_t left = inside.find_first_not_of(' ');
    const std::size_t right = 59 - 1 - inside.find_last_not_of(' ');
    EXPECT_EQ(inside.substr(inside.find_last_not_of(' ') - 11, 12), "Version 7.00");
    EXPECT_LE(left > right ? left - right : right - left, 1u);
}

} // namespace
