#include "commands/CommandLine.h"
#include "model/DatapointTypes.h"

#include <gtest/gtest.h>

using namespace zelo;

namespace {

TEibGroup Group(int type, int access, std::uint16_t start, std::uint16_t end) {
    TEibGroup g;
    g.DatapointType = static_cast<std::int8_t>(type);
    g.AccessType = static_cast<std::uint8_t>(access);
    g.StartAddress = start;
    g.EndAddress = end;
    return g;
}

} // namespace

TEST(builders, SetupLine) {
    EXPECT_EQ(BuildSetupLine("15.15.255", false, false, false), "#SETUP=15.15.255;OFF;OFF;OFF");
    EXPECT_EQ(BuildSetupLine("15.15.255", true, true, true), "#SETUP=15.15.255;ON;ON;ON");
    EXPECT_EQ(BuildSetupLine("15.15.255", false, true, false), "#SETUP=15.15.255;OFF;ON;OFF");
    EXPECT_EQ(BuildSetupLine("any text; really", true, false, false), "#SETUP=any text; really;ON;OFF;OFF");
    EXPECT_EQ(BuildSetupLine("", false, false, true), "#SETUP=;OFF;OFF;ON");
}

TEST(builders, GroupLine) {
    const struct {
        TEibGroup group;
        const char* line;
    } cases[] = {
        {Group(1, 2, 0, 0), "#DG0/0/0=BIT;RW"},
        {Group(11, 0, 2048, 2058), "#DG1/0/0-1/0/10=VALUE;R"},
        {Group(7, 1, 2565, 2563), "#DG1/2/5=WORD;W"}, // end below start: start alone
        {Group(0, 2, 5, 5), "#DG0/0/5=EMPTY;RW"},
        {Group(16, 3, 0, 32767), "#DG0/0/0-15/7/255=GENERIC;"},
        {Group(2, 2, 0x8001, 0x8002), "#DG0/0/1-0/0/2=CHAR;RW"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildGroupLine(c.group), c.line);
}

TEST(parser, RoundTripsEveryTypeAccessAndOrder) {
    const std::pair<std::uint16_t, std::uint16_t> ranges[] = {
        {0, 0}, {2048, 2058}, {2565, 2563}, {0, 32767}, {7, 8}};
    for (int type = 0; type < DatapointTypeCount; ++type)
        for (int access = 0; access < 3; ++access)
            for (auto [start, end] : ranges) {
                std::string line = BuildGroupLine(Group(type, access, start, end));
                ParsedLine parsed = ParseCommandLine(line);
                ASSERT_EQ(parsed.Kind, LineKind::Group) << line << ": " << parsed.Reason;
                EXPECT_EQ(parsed.DatapointType, type);
                EXPECT_EQ(parsed.AccessType, access);
                EXPECT_EQ(parsed.StartAddress, start);
                EXPECT_EQ(parsed.EndAddress, end > start ? end : start);
                EXPECT_EQ(BuildGroupLine(Group(parsed.DatapointType, parsed.AccessType, parsed.StartAddress,
                                               parsed.EndAddress)),
                          line);
            }
    for (int flags = 0; flags < 8; ++flags) {
        std::string line = BuildSetupLine("1.1.250", flags & 1, flags & 2, flags & 4);
        ParsedLine parsed = ParseCommandLine(line);
        ASSERT_EQ(parsed.Kind, LineKind::Setup) << line << ": " << parsed.Reason;
        EXPECT_EQ(parsed.PhysicalAddress, 0x11FA);
        EXPECT_EQ(BuildSetupLine("1.1.250", parsed.PrintSource, parsed.PrintHex, parsed.FullDuplex), line);
    }
}

TEST(parser, RejectsMalformedLinesWithAReason) {
    const struct {
        std::string line;
        std::string reasonPart;
    } cases[] = {
        {"", "empty"},
        {"#CG", "neither"},
        {"hello", "neither"},
        {"#setup=1.1.1;OFF;OFF;OFF", "neither"},
        {"#SETUP=1.1.1;OFF;OFF", "four fields"},
        {"#SETUP=1.1.1;OFF;OFF;OFF;", "more than four"},
        {"#SETUP=15.15.256;OFF;OFF;OFF", "physical address \"15.15.256\""},
        {"#SETUP=1/1/1;OFF;OFF;OFF", "physical address"},
        {"#SETUP= 1.1.1;OFF;OFF;OFF", "physical address"},
        {"#SETUP=1.1.1;on;OFF;OFF", "source address flag \"on\""},
        {"#SETUP=1.1.1;OFF;YES;OFF", "hexadecimal flag"},
        {"#SETUP=1.1.1;OFF;OFF;", "duplex flag"},
        {"#DG0/0/0", "no '='"},
        {"#DG0/0/0=BIT", "no ';'"},
        {"#DG0/8/0=BIT;RW", "start address \"0/8/0\""},
        {"#DG00/0/0=BIT;RW", "start address"},
        {"#DG0/0/0-=BIT;RW", "end address \"\""},
        {"#DG0/0/5-0/0/5=BIT;RW", "must lie above"},
        {"#DG0/0/5-0/0/4=BIT;RW", "must lie above"},
        {"#DG0/0/0=bit;RW", "unknown datapoint type \"bit\""},
        {"#DG0/0/0=BIT;", "access type \"\""},
        {"#DG0/0/0=BIT;RWX", "access type \"RWX\""},
        {"#DG0/0/0=BIT;RW ", "access type \"RW \""},
        {"#DG 0/0/0=BIT;RW", "start address"},
        // Nothing may follow an address: the reader stops where the address ends.
        {"#SETUP=1.1.1x;OFF;OFF;OFF", "physical address \"1.1.1x\""},
        {"#DG0/0/0x=BIT;RW", "start address \"0/0/0x\""},
        {"#DG0/0/1-0/0/5 =BIT;RW", "end address \"0/0/5 \""},
        {"#DG0/0/1 -0/0/5=BIT;RW", "start address \"0/0/1 \""},
        {std::string("#DG0/0/1=BIT;RW\0", 16), "zero byte"},
        {std::string("#DG0/0/1=BIT;R\0W", 16), "zero byte"},
        // Echoed input is cut, so a line of a megabyte gives a reason of a line.
        {"#DG" + std::string(1'000'000, '1') + "=BIT;RW",
         "start address \"" + std::string(80, '1') + "...\" is"},
    };
    for (const auto& c : cases) {
        ParsedLine parsed = ParseCommandLine(c.line);
        EXPECT_EQ(parsed.Kind, LineKind::Invalid) << c.line;
        EXPECT_NE(parsed.Reason.find(c.reasonPart), std::string::npos)
            << "line \"" << c.line << "\" gave reason: " << parsed.Reason;
    }
}
