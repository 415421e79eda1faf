#include "model/Text.h"

#include <gtest/gtest.h>

#include <string>

using namespace zelo;

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
