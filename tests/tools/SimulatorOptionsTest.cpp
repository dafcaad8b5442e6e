// Parsing of the simulator's command line.
#include <gtest/gtest.h>

#include "CommandInterpreter.h"
#include "SimulatorOptions.h"

namespace simulator {
namespace {

TEST(SimulatorOptionsTest, EveryFaultTakesACountAndAnAlwaysForm) {
    for (const FaultOption& fault : kFaultOptions) {
        SCOPED_TRACE(fault.Name);
        SimulatorOptions counted;
        std::string error;
        ASSERT_TRUE(ParseSimulatorOptions({"--" + std::string(fault.Name), "3"}, counted, error)) << error;
        EXPECT_EQ(counted.Faults.Window(fault.Kind).FirstCommands, 3U);
        EXPECT_FALSE(counted.Faults.Window(fault.Kind).Always);
        SimulatorOptions always;
        ASSERT_TRUE(ParseSimulatorOptions({"--" + std::string(fault.Name) + "-always"}, always, error)) << error;
        EXPECT_TRUE(always.Faults.Window(fault.Kind).Always);
        for (const FaultOption& other : kFaultOptions) {
            if (other.Kind != fault.Kind) {
                EXPECT_FALSE(always.Faults.Window(other.Kind).Always);
                EXPECT_EQ(counted.Faults.Window(other.Kind).FirstCommands, 0U);
            }
        }
    }
}

TEST(SimulatorOptionsTest, SettingsReachTheirFields) {
    SimulatorOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimulatorOptions({"--link", "/tmp/plc", "--log", "/tmp/plc.log", "--reply-delay", "25", "--baud",
                                       "9600", "--piece-gap", "7", "--faults-after", "2", "--hang-up-at", "5", "--set",
                                       "DM0001=42", "--set", "DM0001=43"},
                                      options, error))
        << error;
    EXPECT_EQ(options.LinkPath, "/tmp/plc");
    EXPECT_EQ(options.LogPath, "/tmp/plc.log");
    EXPECT_EQ(options.ReplyDelayMs, 25U);
    EXPECT_EQ(options.Baud, 9600U);
    EXPECT_EQ(options.Faults.PieceGapMs, 7U);
    EXPECT_EQ(options.Faults.FaultsAfter, 2U);
    EXPECT_EQ(options.Faults.HangUpAt, 5U);
    EXPECT_EQ(AnswerCommand(options.Memory, "RD DM0001"), "00043");
    EXPECT_FALSE(options.ShowHelp);
}

TEST(SimulatorOptionsTest, DefaultsServeWithoutFaultsOrPacing) {
    SimulatorOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimulatorOptions({}, options, error));
    EXPECT_EQ(options.Baud, 0U);
    EXPECT_EQ(options.ReplyDelayMs, 0U);
    EXPECT_EQ(options.Faults.HangUpAt, 0U);
    for (std::uint32_t command = 1; command < 100; ++command) {
        for (const FaultOption& fault : kFaultOptions) {
            EXPECT_FALSE(options.Faults.Applies(fault.Kind, command));
        }
    }
}

struct BadCase {
    std::vector<std::string> Arguments;
    const char* Message;
};

const BadCase kBadCases[] = {
    {{"--silent"}, "needs a value"},
    {{"--silent", "-1"}, "bad value"},
    {{"--silent", "99999999999"}, "bad value"},
    {{"--baud", "0"}, "bad value"},
    {{"--baud", "4000001"}, "bad value"},
    {{"--hang-up-at", "0"}, "bad value"},
    {{"--reply-delay", "1.5"}, "bad value"},
    {{"--link", ""}, "bad value"},
    {{"--quiet-always"}, "unknown option"},
    {{"--bogus", "1"}, "unknown option"},
    {{"stray"}, "unexpected argument"},
    {{"--set", "DM0001"}, "--set"},
};

TEST(SimulatorOptionsTest, BadArgumentsAreRefusedWithAReason) {
    for (const BadCase& c : kBadCases) {
        SCOPED_TRACE(c.Arguments.front());
        SimulatorOptions options;
        std::string error;
        EXPECT_FALSE(ParseSimulatorOptions(c.Arguments, options, error));
        EXPECT_NE(error.find(c.Message), std::string::npos) << error;
    }
}

TEST(SimulatorOptionsTest, HelpNamesEveryOption) {
    SimulatorOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimulatorOptions({"--help"}, options, error));
    EXPECT_TRUE(options.ShowHelp);
    const std::string usage = SimulatorUsage();
    for (const char* name : {"--link", "--set", "--init", "--reply-delay", "--baud", "--log", "--faults-after",
                             "--piece-gap", "--hang-up-at", "-always"}) {
        EXPECT_NE(usage.find(name), std::string::npos) << name;
    }
    for (const FaultOption& fault : kFaultOptions) {
        EXPECT_NE(usage.find("--" + std::string(fault.Name) + " "), std::string::npos) << fault.Name;
    }
}

} // namespace
} // namespace simulator
