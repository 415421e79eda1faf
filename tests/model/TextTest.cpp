#include "model/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zelo;

TEST(text, SplitLinesEndsAtAZeroByteOnlyWhereThatIsTheRule) {
    const struct {
        std::string text;
        ZeroByte zero;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\nc\rd", ZeroByte::EndsText, {"a", "b", "c", "d"}},
        {"a\n\nb\n", ZeroByte::EndsText, {"a", "", "b"}},
        {std::string("a\nb\0c\nd\n", 8), ZeroByte::EndsText, {"a", "b"}},
        {std::string("a\nb\0c\nd\n", 8), ZeroByte::Kept, {"a", std::string("b\0c", 3), "d"}},
        {std::string("\0", 1), ZeroByte::Kept, {std::string("\0", 1)}},
        {std::string("\0", 1), ZeroByte::EndsText, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitLines(c.text, c.zero), c.lines) << testing::PrintToString(c.text);
}

TEST(text, ControlCharactersAreEscapedForTheTerminal) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"Ok", "Ok"},
        {"ERR \x1b]0;owned\x07", "ERR \\x1b]0;owned\\x07"},
        {"a\rb", "a\\x0db"},
        {"line\nnext\ttab", "line\nnext\ttab"}, // a message's own line breaks stay
        {std::string("z\0", 2), "z\\x00"},
        {"del\x7f", "del\\x7f"},
        {"csi \xc2\x9b"
         "2J",
         "csi \\u009b2J"}, // C1 controls as UTF-8
        {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},
        {"bad \xff byte", "bad \\xff byte"},
        {"C:\\path", "C:\\path"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeControlCharacters(c.text), c.shown) << testing::PrintToString(c.text);
}

TEST(text, BytesOfATraceAreUnambiguousAscii) {
    const struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"#CG\r", "#CG\\x0d"},
        {"Ok\r\n", "Ok\\x0d\\x0a"},
        {"a\\x0d", "a\\\\x0d"},
        {"caf\xe9", "caf\\xe9"},
        {std::string("\0\x1b~", 3), "\\x00\\x1b~"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeBytes(c.bytes), c.shown) << testing::PrintToString(c.bytes);
}

TEST(text, EchoedInputIsCutAtEightyCharacters) {
    const std::string eighty(80, 'x');
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"short", "short"},
        {eighty, eighty},
        {eighty + "y", eighty + "..."},
        {std::string(1'000'000, 'x'), eighty + "..."},
        // Characters, not bytes: a two-byte letter is never cut in half.
        {std::string(79, 'x') + "\xc3\xa9\xc3\xa9", std::string(79, 'x') + "\xc3\xa9..."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShortenForMessage(c.text), c.shown) << c.text.size();
}
