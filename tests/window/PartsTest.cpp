// The window logic's helpers: the table that mirrors the command list's group lines, and the device list.
#include "FakeWindow.h"
#include "model/Error.h"
#include "window/DeviceList.h"
#include "window/GroupLineIndex.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

TEST(GroupLineIndex, MirrorsTheGroupLinesInOrder) {
    TEibGroups groups(32768);
    GroupLineIndex index(groups);
    const char* const lines[] = {"#SETUP=15.15.255;OFF;OFF;OFF",
                                 "#DG1/2/3-1/2/9=BIT;R",
                                 "note",
                                 "#DG1/2/3=VALUE;W",
                                 "#DG1/2/4-1/2/1=BIT;RW",
                                 "#DGx",
                                 "#DG2/0/0=FLOAT;RW",
                                 ""};
    for (int i = 0; i < 8; ++i)
        index.AddLine(i, lines[i]);
    ASSERT_EQ(groups.Count(), 3);
    EXPECT_EQ(groups.Items(0).StartAddress, 0x0A03);
    EXPECT_EQ(groups.Items(0).EndAddress, 0x0A09);
    EXPECT_EQ(groups.Items(0).AccessType, 0);
    EXPECT_EQ(groups.Items(1).DatapointType, 11);
    EXPECT_EQ(groups.Items(1).AccessType, 1);
    EXPECT_EQ(groups.Items(2).DatapointType, 14);
    EXPECT_EQ(index.EntriesWithStart(0x0A03), (std::vector<int>{0, 1}));
    EXPECT_TRUE(index.EntriesWithStart(0x0A04).empty());
    EXPECT_EQ(index.LineOf(0), 1);
    EXPECT_EQ(index.LineOf(1), 3);
    EXPECT_EQ(index.LineOf(2), 6);
    EXPECT_EQ(index.FirstLine(), 1);
    index.Clear();
    EXPECT_EQ(groups.Count(), 0);
    EXPECT_TRUE(index.EntriesWithStart(0x0A03).empty());
    EXPECT_EQ(index.FirstLine(), -1);
}

TEST(GroupLineIndex, FullTableRefusesTheLine) {
    TEibGroups groups(2);
    GroupLineIndex index(groups);
    index.AddLine(0, "#DG0/0/1=BIT;RW");
    index.AddLine(1, "#DG0/0/2=BIT;RW");
    EXPECT_THROW(index.AddLine(2, "#DG0/0/3=BIT;RW"), Exception);
    EXPECT_EQ(groups.Count(), 2);
    EXPECT_TRUE(index.EntriesWithStart(3).empty());
}

TEST(GroupLineIndex, EffectiveEnd) {
    TEibGroup group;
    const struct {
        std::uint16_t Start, End, Effective;
    } cases[] = {{5, 9, 9}, {5, 5, 5}, {5, 3, 5}, {0, 0, 0}, {0x7FFF, 0, 0x7FFF}};
    for (const auto& c : cases) {
        group.StartAddress = c.Start;
        group.EndAddress = c.End;
        EXPECT_EQ(EffectiveEnd(group), c.Effective);
    }
}

TEST(DeviceList, ComPortsThenSystemPortsThenTheConfiguredPath) {
    ScratchFolder dir;
    const std::string link = dir.Write("gateway", "");
    const std::vector<os::PortInfo> ports = {
        {"/dev/ttyUSB0", "FT232R"}, {"/dev/ttyACM0", ""}, {"/dev/ttyUSB0", "again"}, {"", ""}};
    const struct {
        std::string Configured;
        std::vector<std::string> Tail;
    } cases[] = {
        {"COM1", {"/dev/ttyUSB0", "/dev/ttyACM0"}},
        // A device path is listed when it exists; the system's folder names (a drive letter) are no device.
        {link, link.front() == '/' ? std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyACM0", link}
                                   : std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyACM0"}},
        {"/dev/ttyUSB0", {"/dev/ttyUSB0", "/dev/ttyACM0"}},
        {dir.File("missing"), {"/dev/ttyUSB0", "/dev/ttyACM0"}},
        {"TCP/IP", {"/dev/ttyUSB0", "/dev/ttyACM0"}},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> entries = DeviceListEntries(ports, c.Configured);
        ASSERT_EQ(entries.size(), 255 + c.Tail.size()) << c.Configured;
        EXPECT_EQ(entries.front(), "COM1");
        EXPECT_EQ(entries[9], "COM10");
        EXPECT_EQ(entries[254], "COM255");
        EXPECT_EQ(std::vector<std::string>(entries.begin() + 255, entries.end()), c.Tail) << c.Configured;
    }
}

} // namespace
