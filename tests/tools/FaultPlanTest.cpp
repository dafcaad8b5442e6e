// Which commands a fault hits, and the reply bytes it makes.
#include <gtest/gtest.h>

#include "FaultPlan.h"

namespace simulator {
namespace {

struct WindowCase {
    std::uint32_t FaultsAfter;
    std::uint32_t FirstCommands;
    bool Always;
    std::uint32_t CommandNumber;
    bool Applies;
};

const WindowCase kWindowCases[] = {
    {0, 0, false, 1, false}, {0, 2, false, 1, true},   {0, 2, false, 2, true},  {0, 2, false, 3, false},
    {0, 0, true, 1, true},   {0, 0, true, 1000, true}, {1, 1, false, 1, false}, {1, 1, false, 2, true},
    {1, 1, false, 3, false}, {3, 0, true, 3, false},   {3, 0, true, 4, true},
};

TEST(FaultPlanTest, FaultAppliesOnlyInsideItsWindow) {
    for (const WindowCase& c : kWindowCases) {
        SCOPED_TRACE(testing::Message() << "after " << c.FaultsAfter << " first " << c.FirstCommands << " always "
                                        << c.Always << " command " << c.CommandNumber);
        for (const FaultOption& fault : kFaultOptions) {
            FaultPlan plan;
            plan.FaultsAfter = c.FaultsAfter;
            plan.Window(fault.Kind) = FaultWindow{c.FirstCommands, c.Always};
            EXPECT_EQ(plan.Applies(fault.Kind, c.CommandNumber), c.Applies) << fault.Name;
        }
    }
}

struct ShapeCase {
    std::vector<FaultKind> Faults;
    const char* Text;
    std::string Bytes;
    bool InPieces;
};

std::string Digits320() {
    std::string text;
    for (int i = 0; i < 320; ++i) {
        text += static_cast<char>('0' + i % 10);
    }
    return text;
}

const ShapeCase kShapeCases[] = {
    {{}, "00042", "00042\r\n", false},
    {{FaultKind::WrongLength}, "00042", "0004\r\n", false},
    {{FaultKind::WrongLength}, "1", "\r\n", false},
    {{FaultKind::LongLine}, "OK", Digits320() + "\r\n", false},
    {{FaultKind::LoneLineFeed}, "CC", "\n", false},
    {{FaultKind::LineEndOnly}, "CC", "\r\n", false},
    {{FaultKind::MissingCarriageReturn}, "OK", "OK\n", false},
    {{FaultKind::StrayBytes}, "OK", std::string("\xFF\x00#OK\r\n", 7), false},
    {{FaultKind::SlowPieces}, "OK", "OK\r\n", true},
    {{FaultKind::LateLine}, "00042", "00042\r\n99999\r\n", false},
    {{FaultKind::WrongLength, FaultKind::MissingCarriageReturn, FaultKind::StrayBytes},
     "00042",
     std::string("\xFF\x00#0004\n", 8),
     false},
    {{FaultKind::LoneLineFeed, FaultKind::LateLine}, "OK", "\n99999\r\n", false},
};

TEST(FaultPlanTest, ShapedReplyCarriesEveryFaultThatApplies) {
    for (const ShapeCase& c : kShapeCases) {
        SCOPED_TRACE(c.Text + std::string(" with ") + std::to_string(c.Faults.size()) + " faults");
        FaultPlan plan;
        for (FaultKind kind : c.Faults) {
            plan.Window(kind).FirstCommands = 1;
        }
        const ShapedReply first = ShapeReply(plan, 1, c.Text);
        EXPECT_EQ(first.Bytes, c.Bytes);
        EXPECT_EQ(first.InPieces, c.InPieces);
        const ShapedReply second = ShapeReply(plan, 2, c.Text);
        EXPECT_EQ(second.Bytes, c.Text + std::string("\r\n"));
        EXPECT_FALSE(second.InPieces);
    }
}

TEST(FaultPlanTest, EveryFaultKindHasOneOptionName) {
    for (std::size_t i = 0; i < kFaultOptions.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(kFaultOptions[i].Kind), i);
        EXPECT_FALSE(kFaultOptions[i].Name.empty());
        EXPECT_FALSE(kFaultOptions[i].Help.empty());
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_NE(kFaultOptions[i].Name, kFaultOptions[j].Name);
        }
    }
}

} // namespace
} // namespace simulator
