// Parsing of dyx_host's command line and the values it derives for the driver's records.
#include <gtest/gtest.h>

#include <sstream>

#include "HostCommands.h"
#include "HostOptions.h"

namespace host {
namespace {

TEST(HostOptionsTest, ReadWithEveryLineSettingFillsEveryField) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(ParseHostOptions({"read", "DM$0001", "--port", "/dev/pts/3", "RD$00105", "--baud", "19200",
                                  "--data-bits", "7", "--parity", "odd", "--stop-bits", "1.5", "--timeout", "250",
                                  "--type", "0x106", "--library", "/tmp/x.so"},
                                 options, error))
        << error;
    EXPECT_EQ(options.Command, HostCommand::Read);
    EXPECT_EQ(options.Addresses, (std::vector<std::string>{"DM$0001", "RD$00105"}));
    EXPECT_EQ(options.Port, "/dev/pts/3");
    EXPECT_EQ(options.Baud, 19200);
    EXPECT_EQ(options.DataBits, 7);
    EXPECT_EQ(options.ParityCode, 1);
    EXPECT_EQ(options.StopBitsCode, 1);
    EXPECT_EQ(options.TimeoutMs, 250U);
    EXPECT_EQ(options.DataType, 0x106U);
    EXPECT_EQ(options.LibraryPath, "/tmp/x.so");
}

struct LineNameCase {
    const char* Option;
    const char* Value;
    std::uint16_t Code;
};

const LineNameCase kLineNameCases[] = {
    {"--parity", "none", 0},  {"--parity", "odd", 1},  {"--parity", "even", 2},   {"--parity", "mark", 3},
    {"--parity", "space", 4}, {"--stop-bits", "1", 0}, {"--stop-bits", "1.5", 1}, {"--stop-bits", "2", 2},
};

TEST(HostOptionsTest, LineSettingNamesBecomeTheDriverCodes) {
    for (const LineNameCase& c : kLineNameCases) {
        SCOPED_TRACE(std::string(c.Option) + " " + c.Value);
        HostOptions options;
        std::string error;
        ASSERT_TRUE(ParseHostOptions({"read", "DM$0001", "--port", "ttyS0", c.Option, c.Value}, options, error))
            << error;
        const std::optional<std::uint16_t>& code =
            std::string(c.Option) == "--parity" ? options.ParityCode : options.StopBitsCode;
        EXPECT_EQ(code, c.Code);
    }
}

TEST(HostOptionsTest, WriteTakesAnAddressAndAValue) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(ParseHostOptions({"write", "DM$0001", "65535", "--port", "ttyS0"}, options, error)) << error;
    EXPECT_EQ(options.Command, HostCommand::Write);
    EXPECT_EQ(options.Addresses, std::vector<std::string>{"DM$0001"});
    EXPECT_EQ(options.Value, 65535);
}

TEST(HostOptionsTest, WatchTakesIntervalAndCount) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(
        ParseHostOptions({"watch", "DM$0001", "--port", "ttyS0", "--interval", "20", "--count", "3"}, options, error));
    EXPECT_EQ(options.Command, HostCommand::Watch);
    EXPECT_EQ(options.IntervalMs, 20U);
    EXPECT_EQ(options.Count, 3U);
}

struct UsageErrorCase {
    std::vector<std::string> Arguments;
    const char* Message;
};

const UsageErrorCase kUsageErrorCases[] = {
    {{}, "no command"},
    {{"frobnicate"}, "unknown command"},
    {{"describe", "DM$0001"}, "wrong number of arguments"},
    {{"check"}, "wrong number of arguments"},
    {{"read", "DM$0001"}, "needs --port"},
    {{"write", "DM$0001", "--port", "ttyS0"}, "wrong number of arguments"},
    {{"write", "DM$0001", "65536", "--port", "ttyS0"}, "0 to 65535"},
    {{"write", "DM$0001", "-1", "--port", "ttyS0"}, "0 to 65535"},
    {{"watch", "--port", "ttyS0"}, "wrong number of arguments"},
    {{"read", "DM$0001", "--port"}, "needs a value"},
    {{"read", "DM$0001", "--port", "ttyS0", "--baud", "65536"}, "1 to 65535"},
    {{"read", "DM$0001", "--port", "ttyS0", "--baud", "0"}, "1 to 65535"},
    {{"read", "DM$0001", "--port", "ttyS0", "--data-bits", "9"}, "5, 6, 7 or 8"},
    {{"read", "DM$0001", "--port", "ttyS0", "--parity", "EVEN"}, "none, odd, even"},
    {{"read", "DM$0001", "--port", "ttyS0", "--stop-bits", "3"}, "1, 1.5 or 2"},
    {{"read", "DM$0001", "--port", "ttyS0", "--timeout", "ten"}, "--timeout"},
    {{"read", "DM$0001", "--port", "ttyS0", "--type", "byte"}, "word, bit"},
    {{"watch", "DM$0001", "--port", "ttyS0", "--count", "0"}, "at least 1"},
    {{"watch", "DM$0001", "--port", "ttyS0", "--interval", "0"}, "--interval"},
    {{"read", "DM$0001", "--port", "ttyS0", "--verbose", "1"}, "unknown option"},
};

TEST(HostOptionsTest, UsageErrorsSayWhatIsWrong) {
    for (const UsageErrorCase& c : kUsageErrorCases) {
        SCOPED_TRACE(c.Message);
        HostOptions options;
        std::string error;
        EXPECT_FALSE(ParseHostOptions(c.Arguments, options, error));
        EXPECT_NE(error.find(c.Message), std::string::npos) << error;
    }
}

struct DataTypeCase {
    const char* Address;
    std::optional<std::uint32_t> Given;
    std::uint32_t DataType;
};

const DataTypeCase kDataTypeCases[] = {
    {"DM$1234", std::nullopt, 0}, {"RD$00105", std::nullopt, 6}, {"M$$00000", std::nullopt, 6},
    {"DM$12", std::nullopt, 0},   {"", std::nullopt, 0},         {"RD$001050", std::nullopt, 0},
    {"DM$1234", 6U, 6},           {"RD$00105", 0U, 0},           {"RD$00105", 0x106U, 0x106},
};

TEST(HostOptionsTest, DataTypeIsGuessedFromTheLengthUnlessGiven) {
    for (const DataTypeCase& c : kDataTypeCases) {
        SCOPED_TRACE(c.Address);
        HostOptions options;
        options.DataType = c.Given;
        EXPECT_EQ(DataTypeFor(options, c.Address), c.DataType);
    }
}

struct PortNameCase {
    const char* Port;
    bool Fits;
    const char* PortName;
};

const PortNameCase kPortNameCases[] = {
    {"/dev/pts/5", true, "/dev/pts/5"},
    {"/dev/pts/12", true, "/dev/pts/12"},
    {"/dev/pts/123", true, "pts/123"},
    {"/dev/ttyUSB10", true, "ttyUSB10"},
    {"ttyS0", true, "ttyS0"},
    {"/dev/pts/12345678", false, ""},
    {"/tmp/kv_simulator/link", false, ""},
    {"/dev//ttyUSB10000", false, ""},
};

TEST(HostOptionsTest, PortNameFitsElevenCharactersOrIsRefusedClearly) {
    for (const PortNameCase& c : kPortNameCases) {
        SCOPED_TRACE(c.Port);
        std::string portName;
        std::string error;
        EXPECT_EQ(PortNameFor(c.Port, portName, error), c.Fits);
        if (c.Fits) {
            EXPECT_EQ(portName, c.PortName);
            EXPECT_LE(portName.size(), 11U);
        } else {
            EXPECT_NE(error.find("at most 11"), std::string::npos) << error;
        }
    }
}

struct TimeoutCase {
    std::optional<std::uint32_t> TimeoutMs;
    std::uint32_t TenMs;
};

const TimeoutCase kTimeoutCases[] = {{std::nullopt, 0}, {0U, 0},      {1U, 1},         {10U, 1},
                                     {11U, 2},          {1000U, 100}, {600000U, 60000}};

TEST(HostOptionsTest, TimeoutRoundsUpToTenMillisecondUnits) {
    for (const TimeoutCase& c : kTimeoutCases) {
        HostOptions options;
        options.TimeoutMs = c.TimeoutMs;
        EXPECT_EQ(ReadTimeoutTenMs(options), c.TenMs) << c.TimeoutMs.value_or(0);
    }
}

TEST(HostOptionsTest, HelpDocumentsEveryCommandOptionAndExitStatus) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunHost({"--help"}, out, err), 0);
    for (const char* word :
         {"describe", "check", "read", "write", "watch", "--type", "--port", "--baud", "--data-bits", "--parity",
          "--stop-bits", "--timeout", "--interval", "--count", "--library", "64", "69"}) {
        EXPECT_NE(out.str().find(word), std::string::npos) << word;
    }
    EXPECT_EQ(err.str(), "");
}

TEST(HostOptionsTest, UsageErrorAndMissingLibraryHaveTheirOwnStatus) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunHost({"read", "DM$0001"}, out, err), 64);
    EXPECT_NE(err.str().find("needs --port"), std::string::npos);
    EXPECT_EQ(RunHost({"read", "DM$0001", "--port", "/dev/pts/12345678"}, out, err), 64);
    EXPECT_NE(err.str().find("at most 11"), std::string::npos);
    EXPECT_EQ(RunHost({"describe", "--library", "/nonexistent/DYXWNKV.so"}, out, err), 69);
    EXPECT_NE(err.str().find("cannot load the driver library /nonexistent/DYXWNKV.so"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "");
}

} // namespace
} // namespace host
