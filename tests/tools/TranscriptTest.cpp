// Escaping of line bytes in the simulator's transcript.
#include <gtest/gtest.h>

#include "Transcript.h"

namespace simulator {
namespace {

struct EscapeCase {
    std::string Bytes;
    const char* Text;
};

const EscapeCase kEscapeCases[] = {
    {"RD DM0001\r", "RD DM0001\\r"},
    {"00042\r\n", "00042\\r\\n"},
    {"a\tb", "a\\tb"},
    {"say \"hi\"", "say \\\"hi\\\""},
    {"back\\slash", "back\\\\slash"},
    {std::string("\x00\x01\x7F\x80\xFF", 5), "\\x00\\x01\\x7F\\x80\\xFF"},
    {"~ !", "~ !"},
    {"", ""},
};

TEST(TranscriptTest, EscapedBytesReadBackExactly) {
    for (const EscapeCase& c : kEscapeCases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(EscapeBytes(c.Bytes), c.Text);
    }
}

} // namespace
} // namespace simulator
