// The one table of words for the driver's result codes.
#include <gtest/gtest.h>

#include <string>

#include "DyxDriver.h"
#include "ResultWords.h"

namespace host {
namespace {

TEST(ResultWordsTest, EveryResultCodeHasWordsAndItsOwnExitStatus) {
    for (std::uint32_t result : {DYX_DONE, DYX_REFUSED, DYX_COMMUNICATION_FAILED}) {
        SCOPED_TRACE(result);
        const ResultWords words = WordsForResult(result);
        EXPECT_EQ(words.Result, result);
        EXPECT_GT(std::string(words.Words).size(), 3U);
        EXPECT_EQ(words.ExitStatus, static_cast<int>(result));
    }
    EXPECT_EQ(std::string(WordsForResult(DYX_DONE).Words), "done");
    EXPECT_NE(std::string(WordsForResult(DYX_REFUSED).Words).find("refused"), std::string::npos);
    EXPECT_NE(std::string(WordsForResult(DYX_COMMUNICATION_FAILED).Words).find("no answer"), std::string::npos);
}

TEST(ResultWordsTest, UndefinedResultSaysSoWithItsOwnStatus) {
    for (std::uint32_t result : {3U, 0x100U, 0xFFFFFFFFU}) {
        SCOPED_TRACE(result);
        const ResultWords words = WordsForResult(result);
        EXPECT_EQ(words.ExitStatus, 70);
        EXPECT_NE(std::string(words.Words).find("does not define"), std::string::npos);
    }
}

TEST(ResultWordsTest, WorseStatusPrefersCommunicationFailureOverRefusal) {
    EXPECT_EQ(WorseExitStatus(0, 0), 0);
    EXPECT_EQ(WorseExitStatus(0, 1), 1);
    EXPECT_EQ(WorseExitStatus(2, 1), 2);
    EXPECT_EQ(WorseExitStatus(1, 2), 2);
}

} // namespace
} // namespace host
