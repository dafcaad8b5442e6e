// Device addresses: upper-casing, normalisation, both device tables, the digit check and code 3.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DeviceAddress.h"
#include "Protocol.h"

namespace {

using protocol::kNoDevice;

struct AddressCase {
    std::string text;
    std::uint32_t dataType;
    std::string field;
    std::uint16_t commandIndex;
    std::uint32_t result;
};

const AddressCase kAddressCases[] = {
    {"dm$1234", 0, "DM$1234 ", 20, 0},
    {"DM$1234", 1, "DM$1234 ", 20, 0},
    {"DM$1234", 0x100, "DM$1234 ", 20, 0},
    {"DM$1234", 6, "DM$1234 ", kNoDevice, 1},
    {"ER$1234", 0, "ER$1234 ", 10, 0},
    {"ER$12345", 6, "ER$12345", 1, 0},
    {"RD$00105", 6, "RD$00105", 6, 0},
    {"rd$00105", 0x106, "RD$00105", 6, 0},
    {"M$$00000", 6, "M$$00000", 0, 0},
    {"RC$00012", 6, "RC$00012", 2, 0},
    {"RH$00001", 6, "RH$00001", 3, 0},
    {"RCC00001", 6, "RCC00001", 4, 0},
    {"RT$00005", 6, "RT$00005", 5, 0},
    {"RK$0000", 0, "RK$0000 ", 11, 0},
    {"RCR0012", 0, "RCR0012 ", 12, 0},
    {"RCP0012", 0, "RCP0012 ", 13, 0},
    {"RHR0001", 0, "RHR0001 ", 14, 0},
    {"RHP0001", 0, "RHP0001 ", 15, 0},
    {"RC10001", 0, "RC10001 ", 16, 0},
    {"RC20003", 0, "RC20003 ", 17, 0},
    {"RTR0005", 0, "RTR0005 ", 18, 0},
    {"RTP0005", 0, "RTP0005 ", 19, 0},
    {"TM$0012", 0, "TM$0012 ", 21, 0},
    {"AT01234", 0, "AT01234 ", 22, 0},
    {"AT00000", 0, "AT00000 ", 22, 0},
    {"AT10000", 0, "AT10000 ", 23, 0},
    {"DM$12", 0, "DM$12   ", 20, 1},
    {"DM$12345", 0, "DM$12345", 20, 0},
    {"DM$123 ", 0, "DM$123  ", 20, 1},
    {"RD$0010", 6, "RD$0010 ", 6, 1},
    {"DM$12a4", 0, "DM$12A4 ", 20, 1},
    {"", 0, "        ", kNoDevice, 1},
    {"DM$1234", 2, "DM$1234 ", kNoDevice, 1},
    {"DM$1234", 7, "DM$1234 ", kNoDevice, 1},
    {"RD$00105", 0, "RD$00105", kNoDevice, 1},
    {"{}|~\x7f", 0, "[]\\^_   ", kNoDevice, 1},
    {"DM$\xe9"
     "234",
     0,
     "DM$\xe9"
     "234 ",
     20, 1},
    {"DM$1234X9", 0, "DM$1234X", kNoDevice, 1},
    {"RD$001050", 6, "RD$00105", kNoDevice, 1},
};

class DeviceAddressTest : public ::testing::Test {
protected:
    void SetUp() override { std::memset(&state, 0, sizeof state); }
    ChannelState state;
};

TEST_F(DeviceAddressTest, ValidateAddressTable) {
    for (const AddressCase& c : kAddressCases) {
        SCOPED_TRACE(c.text + " type " + std::to_string(c.dataType));
        std::memset(&state, 0x55, sizeof state);
        AddressParams params;
        std::memset(&params, 0xEE, sizeof params);
        params.AddressText = c.text.c_str();
        params.DataType = c.dataType;
        const DriverRequest request = {&state, DYX_VALIDATE_ADDRESS, {0, 0}, &params};

        EXPECT_EQ(protocol::ValidateAddress(&request), c.result);
        EXPECT_EQ(std::string(state.AddressField, 8), c.field);
        EXPECT_EQ(protocol::ResolveAddress(state, c.text.c_str(), c.dataType), c.commandIndex);
        if (c.result == 0) {
            const std::uint32_t words[5] = {0, 0, 0, 255, 16};
            EXPECT_EQ(std::memcmp(params.ResultWords, words, sizeof words), 0);
        } else {
            for (std::uint32_t word : params.ResultWords) EXPECT_EQ(word, 0xEEEEEEEEu);
        }
        EXPECT_EQ(params.HostWord1, 0xEEEEEEEEu);
        EXPECT_EQ(params.HostWord3, 0xEEEEEEEEu);
        // Nothing past the field was written.
        EXPECT_EQ(state.CommandLength, 0x5555);
    }
}

TEST_F(DeviceAddressTest, UpperCaseFollowsTheByteRuleNotALocale) {
    for (int byte = 0; byte < 256; ++byte) {
        const char expected = byte >= 0x61 && byte <= 0x7F ? static_cast<char>(byte - 0x20) : static_cast<char>(byte);
        EXPECT_EQ(protocol::UpperCaseChar(static_cast<char>(byte)), expected) << byte;
    }
}

TEST_F(DeviceAddressTest, ShorterAddressLeavesNothingOfTheLongerOne) {
    protocol::NormalizeAddress(state, "RD$00105");
    protocol::NormalizeAddress(state, "DM$1");
    EXPECT_EQ(std::string(state.AddressField, 8), "DM$1    ");
}

TEST_F(DeviceAddressTest, NormalizeReadsNoFurtherThanTheNinthCharacter) {
    // Nine readable bytes and no NUL: a read past the ninth would run off the array (ASan).
    const char text[9] = {'D', 'M', '$', '1', '2', '3', '4', '5', '6'};
    EXPECT_FALSE(protocol::NormalizeAddress(state, text));
    EXPECT_EQ(std::string(state.AddressField, 8), "DM$12345");
    const char exact[9] = {'R', 'D', '$', '0', '0', '1', '0', '5', '\0'};
    EXPECT_TRUE(protocol::NormalizeAddress(state, exact));
}

TEST_F(DeviceAddressTest, CheckDigitsLooksOnlyAtTheDigitsOfTheDataType) {
    protocol::NormalizeAddress(state, "DM$1234x");
    EXPECT_EQ(protocol::CheckDigits(state, 0), 0);
    EXPECT_EQ(protocol::CheckDigits(state, 6), 1);
    EXPECT_EQ(protocol::CheckDigits(state, 3), 1);
    protocol::NormalizeAddress(state, "DM$/:00");
    EXPECT_EQ(protocol::CheckDigits(state, 0), 1);
}

} // namespace
