#include "model/Address.h"
#include "model/Error.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace zelo;

namespace {

struct ReadCase {
    const char* text;
    std::optional<std::uint16_t> value; // nullopt: the reader must fail
};

std::optional<std::uint16_t> TryGroup(const std::string& text) {
    try {
        return TextToGroupAddress(text);
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), InvalidGroupAddressMessage) << "for " << text;
        return std::nullopt;
    }
}

std::optional<std::uint16_t> TryPhysical(const std::string& text) {
    try {
        return TextToPhysicalAddress(text);
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), InvalidPhysicalAddressMessage) << "for " << text;
        return std::nullopt;
    }
}

constexpr std::uint16_t G(int main, int middle, int sub) {
    return static_cast<std::uint16_t>(main * 2048 + middle * 256 + sub);
}
constexpr std::uint16_t P(int area, int line, int device) {
    return static_cast<std::uint16_t>(area * 4096 + line * 256 + device);
}

} // namespace

TEST(address, GroupReaderFollowsScanfRules) {
    const ReadCase cases[] = {
        {"0/0/0", 0},
        {"15/7/255", 32767},
        {"1/2/3", G(1, 2, 3)},
        {"16/0/0", std::nullopt},
        {"0/8/0", std::nullopt},
        {"0/0/256", std::nullopt},
        {"1/2/3/4", G(1, 2, 3)},
        {"1/2/3abc", G(1, 2, 3)},
        {"1/2/3 ", G(1, 2, 3)},
        {" 1/2/3", G(1, 2, 3)},
        {"\t\n1/2/3", G(1, 2, 3)},
        {"1/ 2/ 3", G(1, 2, 3)},
        {"1 /2/3", std::nullopt},
        {"1/2 /3", std::nullopt},
        {"1/2", std::nullopt},
        {"1/2/", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"+1/+2/+3", G(1, 2, 3)},
        {" +1/2/3", G(1, 2, 3)},   // blanks before the sign, as scanf skips them
        {"+ 1/2/3", std::nullopt}, // but none between the sign and its digits
        {"1/- 2/3", std::nullopt},
        {"-1/0/0", std::nullopt},
        {"0/-3/0", std::nullopt},
        {"-0/-0/-0", 0},
        {"+/1/1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"a/b/c", std::nullopt},
        {"01/002/0003", G(1, 2, 3)},
        {"1//2/3", std::nullopt},
        {"1/2/+", std::nullopt},
        // Numbers beyond 32 bits are out of range, never wrapped into range.
        {"4294967297/0/0", std::nullopt},
        {"0/0/4294967296", std::nullopt},
        {"99999999999999999999999/0/0", std::nullopt},
        {"-4294967296/0/0", std::nullopt},
        {"2147483647/0/0", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TryGroup(c.text), c.value) << "text: \"" << c.text << "\"";
}

TEST(address, GroupScannerSaysWhereTheAddressEnds) {
    const struct {
        const char* text;
        std::optional<std::uint16_t> value;
        std::size_t used;
    } cases[] = {
        {"1/2/3", G(1, 2, 3), 5},      {"1/2/3 -1/2/5", G(1, 2, 3), 5}, {"1/2/3x-1/2/5", G(1, 2, 3), 5},
        {" 1/ 2/ 3-4", G(1, 2, 3), 8}, {"+15/+7/+255=BIT", 32767, 11},  {"01/002/0003", G(1, 2, 3), 11},
        {"1/2/", std::nullopt, 0},     {"16/0/0", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        std::size_t used = 0;
        EXPECT_EQ(ScanGroupAddress(c.text, used), c.value) << c.text;
        if (c.value) {
            EXPECT_EQ(used, c.used) << c.text;
        }
    }
}

TEST(address, PhysicalReaderFollowsScanfRules) {
    const ReadCase cases[] = {
        {"0.0.0", 0},
        {"15.15.255", 0xFFFF},
        {"1.1.250", P(1, 1, 250)},
        {"16.0.0", std::nullopt},
        {"0.16.0", std::nullopt},
        {"0.0.256", std::nullopt},
        {"1.1.1.1", P(1, 1, 1)},
        {"1/1/1", std::nullopt},
        {" 1. 2. 3", P(1, 2, 3)},
        {"1 .2.3", std::nullopt},
        {"+1.+2.+3", P(1, 2, 3)},
        {"-1.0.0", std::nullopt},
        {"-0.0.0", 0},
        {"1.2", std::nullopt},
        {"", std::nullopt},
        {"4294967296.0.0", std::nullopt},
        {"1.2.3xyz", P(1, 2, 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TryPhysical(c.text), c.value) << "text: \"" << c.text << "\"";
}

TEST(address, Printers) {
    const struct {
        std::uint16_t value;
        const char* group;
        const char* physical;
    } cases[] = {
        {0, "0/0/0", "0.0.0"},
        {0xFFFF, "15/7/255", "15.15.255"},
        {0x8000, "0/0/0", "8.0.0"},
        {G(1, 2, 3), "1/2/3", "0.10.3"},
        {P(1, 1, 250), "2/1/250", "1.1.250"},
        {32767, "15/7/255", "7.15.255"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GroupAddressToText(c.value), c.group);
        EXPECT_EQ(PhysicalAddressToText(c.value), c.physical);
    }
}

TEST(address, EveryAddressRoundTrips) {
    for (unsigned v = 0; v <= 0x7FFF; ++v)
        ASSERT_EQ(TextToGroupAddress(GroupAddressToText(static_cast<std::uint16_t>(v))), v);
    for (unsigned v = 0; v <= 0xFFFF; ++v)
        ASSERT_EQ(TextToPhysicalAddress(PhysicalAddressToText(static_cast<std::uint16_t>(v))), v);
}

TEST(address, MessagesAreTheSystemsOwn) {
    EXPECT_STREQ(InvalidPhysicalAddressMessage,
                 "Invalid physical address!\nFromat has to be \"<0...15>.<0...15>.<0...255>\"!");
    EXPECT_EQ(std::string(InvalidGroupAddressMessage).substr(0, 23), "Invalid group address!\n");
}
