#include "base/escape_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(EscapeText, EscapesEverythingOutsidePrintableAscii) {
    const std::string input = std::string("a\"\\\n\r\t\x1F\x7F\xE9", 9);
    EXPECT_EQ(EscapeText(input), "a\\\"\\\\\\n\\r\\t\\x1F\\x7F\\xE9");
    EXPECT_EQ(EscapeText(std::string("x\0y", 3)), "x\\x00y");
    EXPECT_EQ(EscapeText(" ~Plain text 123"), " ~Plain text 123");
    EXPECT_EQ(EscapeText(""), "");
}
