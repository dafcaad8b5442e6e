// Code page 437 to UTF-8 conversion of the driver's banner.
#include <gtest/gtest.h>

#include "CodePage437.h"

namespace host {
namespace {

struct ConversionCase {
    std::string Text;
    const char* Utf8;
};

const ConversionCase kConversionCases[] = {
    {"KV 7.00\n", "KV 7.00\n"},
    {"\xC9\xCD\xBB", "\u2554\u2550\u2557"},
    {"\xBA", "\u2551"},
    {"\xC8\xCD\xBC", "\u255A\u2550\u255D"},
    {"\xDB\xB2\xB1\xB0", "\u2588\u2593\u2592\u2591"},
    {"\x80\x81\x9F", "\u00C7\u00FC\u0192"},
    {"\xE1\xF8\xFE\xFF", "\u00DF\u00B0\u25A0\u00A0"},
    {"", ""},
};

TEST(CodePage437Test, UpperHalfBecomesItsUnicodeCharacters) {
    for (const ConversionCase& c : kConversionCases) {
        SCOPED_TRACE(c.Utf8);
        EXPECT_EQ(CodePage437ToUtf8(c.Text), c.Utf8);
    }
}

TEST(CodePage437Test, EveryUpperHalfByteBecomesOneCharacterOfTwoOrThreeBytes) {
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        SCOPED_TRACE(byte);
        const std::string utf8 = CodePage437ToUtf8(std::string(1, static_cast<char>(byte)));
        ASSERT_GE(utf8.size(), 2U);
        ASSERT_LE(utf8.size(), 3U);
        const auto lead = static_cast<unsigned char>(utf8[0]);
        EXPECT_EQ(lead >> 5 == 0x6 ? 2U : 3U, utf8.size());
        for (std::size_t i = 1; i < utf8.size(); ++i) {
            EXPECT_EQ(static_cast<unsigned char>(utf8[i]) >> 6, 0x2U);
        }
    }
}

} // namespace
} // namespace host
