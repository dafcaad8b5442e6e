// Initial-value assignments of the simulator, observed through the replies the memory then gives.
#include <gtest/gtest.h>

#include "CommandInterpreter.h"
#include "InitialValues.h"

namespace simulator {
namespace {

struct AssignmentCase {
    const char* Assignment;
    const char* Command;
    const char* Reply;
};

const AssignmentCase kAssignmentCases[] = {
    {"DM0001=42", "RD DM0001", "00042"},
    {"dm1=42", "RD DM0001", "00042"},
    {"DM9999=65535", "RD DM9999", "65535"},
    {"TM12=7", "RD TM12", "00007"},
    {"TM5=7", "RD TM05", "00007"},
    {"00105=1", "RD 00105", "1"},
    {"99915=1", "RD 99915", "1"},
    {"T005=42", "RD T005", "0,00042,00000"},
    {"T005.current=42", "RD T005", "0,00042,00000"},
    {"T005.preset=100", "RD T005", "0,00000,00100"},
    {"T005.contact=1", "RD T005", "1,00000,00000"},
    {"C999.Preset=3", "RD C999", "0,00000,00003"},
    {"CTH1=300", "RD CTH1", "0,00300,00000"},
    {"CTH9.contact=1", "RD CTH9", "1,00000,00000"},
    {"CTC3.preset=250", "RD CTC3", "0,00000,00250"},
    {"AT2=333", "RD AT", "00000,00000,00333,00000"},
    {"MODE=1", "?M", "1"},
    {"ERROR=7", "?E", "07"},
    {"MODEL=5", "?K", "0005"},
    {" DM0002 = 9 ", "RD DM0002", "00009"},
};

TEST(InitialValuesTest, AssignmentSetsTheItemItNames) {
    for (const AssignmentCase& c : kAssignmentCases) {
        SCOPED_TRACE(c.Assignment);
        ControllerMemory memory;
        std::string error;
        ASSERT_TRUE(ApplyAssignment(memory, c.Assignment, error)) << error;
        EXPECT_EQ(AnswerCommand(memory, c.Command), c.Reply);
    }
}

struct BadAssignmentCase {
    const char* Assignment;
    const char* Reason;
};

const BadAssignmentCase kBadAssignmentCases[] = {
    {"DM0001", "not of the form"},
    {"DM10000=1", "unknown item"},
    {"DM=1", "unknown item"},
    {"XY1=1", "unknown item"},
    {"DM0001=65536", "0 to 65535"},
    {"DM0001=-1", "0 to 65535"},
    {"DM0001=", "0 to 65535"},
    {"DM0001=4x", "0 to 65535"},
    {"00105=2", "0 to 1"},
    {"00116=1", "out of range"},
    {"0105=1", "unknown item"},
    {"T005.contact=2", "0 to 1"},
    {"DM0001.preset=1", "has no .current"},
    {"AT4=1", "out of range"},
    {"MODE=2", "0 to 1"},
    {"ERROR=10", "0 to 9"},
    {"MODEL=100", "0 to 99"},
};

TEST(InitialValuesTest, BadAssignmentIsRefusedWithItsReasonAndChangesNothing) {
    for (const BadAssignmentCase& c : kBadAssignmentCases) {
        SCOPED_TRACE(c.Assignment);
        ControllerMemory memory;
        std::string error;
        EXPECT_FALSE(ApplyAssignment(memory, c.Assignment, error));
        EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
        EXPECT_EQ(AnswerCommand(memory, "RD DM0001"), "00000");
        EXPECT_EQ(AnswerCommand(memory, "RD T005"), "0,00000,00000");
        EXPECT_EQ(AnswerCommand(memory, "?M"), "0");
    }
}

} // namespace
} // namespace simulator
