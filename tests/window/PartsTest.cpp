// The window logic's helpers: the table that mirrors the command list's group lines, and the device list.
#include "FakeWindow.h"
#include "ets/EtsBatch.h"
#include "model/Error.h"
#include "os/DeviceList.h"
#include "window/GroupLineIndex.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;
using os::DeviceEntry;
using os::DeviceListEntries;

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
    // A group the window built a line from goes in as its line carries it.
    TEibGroup built;
    built.StartAddress = 0x0A03;
    built.EndAddress = 0x0A01;
    built.DatapointType = 5;
    index.AddGroup(9, built);
    EXPECT_EQ(index.EntriesWithStart(0x0A03), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(index.LineOf(3), 9);
    EXPECT_EQ(index.Group(3).EndAddress, 0x0A03);
    EXPECT_EQ(index.Group(3).DatapointType, 5);
    index.Clear();
    EXPECT_EQ(groups.Count(), 0);
    EXPECT_TRUE(index.EntriesWithStart(0x0A03).empty());
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

// The same-start rule: the same range when the line carries the same end and type, whatever the access.
TEST(GroupLineIndex, SameRangeByStartEffectiveEndAndType) {
    const auto group = [](std::uint16_t start, std::uint16_t end, int type, int access) {
        TEibGroup g;
        g.StartAddress = start;
        g.EndAddress = end;
        g.DatapointType = static_cast<std::int8_t>(type);
        g.AccessType = static_cast<std::uint8_t>(access);
        return g;
    };
    const struct {
        TEibGroup Offered;
        bool Same;
    } cases[] = {
        {group(5, 9, 1, 2), true},  {group(5, 9, 1, 0), true},  {group(5, 9, 2, 2), false},
        {group(5, 8, 1, 2), false}, {group(6, 9, 1, 2), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SameRange(group(5, 9, 1, 2), c.Offered), c.Same) << c.Offered.EndAddress;
    EXPECT_TRUE(SameRange(group(5, 5, 1, 2), group(5, 3, 1, 2)));
    EXPECT_FALSE(SameRange(group(5, 5, 1, 2), group(5, 6, 1, 2)));
}

// The picker: the devices that exist first (each once, with a description, a real ttyS under its COM name),
// then TCP/IP, then the COM names not shown yet.
TEST(DeviceList, ExistingPortsOnceThenTcpThenTheRemainingComNames) {
    ScratchFolder dir;
    const std::string link = dir.Write("gateway", "");
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const std::vector<os::PortInfo> ports = {{byId, "FTDI FT232R USB UART", "/dev/ttyUSB0"},
                                             {"/dev/ttyUSB0", "FTDI FT232R USB UART", "/dev/ttyUSB0"},
                                             {"/dev/ttyACM0", "", "/dev/ttyACM0"},
                                             {"/dev/ttyS0", "", "/dev/ttyS0"},
                                             {"/dev/ttyS4", "", ""},
                                             {"/dev/ttyS255", "", ""},
                                             {"", "", ""}};
    const DeviceEntry ftdi{byId, byId + " (FTDI FT232R USB UART)"};
    const DeviceEntry acm{"/dev/ttyACM0", "/dev/ttyACM0 (serial port)"};
    const DeviceEntry com1{"COM1", "COM1 (serial port)"};
    const DeviceEntry com5{"COM5", "COM5 (serial port)"};
    const DeviceEntry s255{"/dev/ttyS255", "/dev/ttyS255 (serial port)"};
    const DeviceEntry tcp{"TCP/IP", "TCP/IP"};
    const struct {
        std::string Configured;
        std::vector<DeviceEntry> Head;
        bool LinkOnly = false; // the system lists the FTDI device by its by-id link alone
    } cases[] = {
        {"COM1", {ftdi, acm, com1, com5, s255, tcp}},
        {"TCP/IP", {ftdi, acm, com1, com5, s255, tcp}},
        // The configured one of two names of a device is the one shown.
        {"/dev/ttyUSB0",
         {{"/dev/ttyUSB0", "/dev/ttyUSB0 (FTDI FT232R USB UART)"}, acm, com1, com5, s255, tcp}},
        {"/dev/ttyUSB0",
         {{"/dev/ttyUSB0", "/dev/ttyUSB0 (FTDI FT232R USB UART)"}, acm, com1, com5, s255, tcp},
         true},
        // An existing device path is listed after the system's; the system's folder names (a drive letter)
        // are no device path.
        {link, link.front() == '/' ? std::vector<DeviceEntry>{ftdi, acm, com1, com5, s255, {link, link}, tcp}
                                   : std::vector<DeviceEntry>{ftdi, acm, com1, com5, s255, tcp}},
        {dir.File("missing"), {ftdi, acm, com1, com5, s255, tcp}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Configured);
        std::vector<os::PortInfo> system = ports;
        if (c.LinkOnly)
            system.erase(system.begin() + 1);
        const std::vector<DeviceEntry> entries = DeviceListEntries(system, c.Configured);
        ASSERT_GE(entries.size(), c.Head.size());
        EXPECT_EQ(std::vector<DeviceEntry>(entries.begin(), entries.begin() + c.Head.size()), c.Head);
        std::vector<DeviceEntry> rest;
        for (int n = 1; n <= 255; ++n)
            if (n != 1 && n != 5)
                rest.push_back({"COM" + std::to_string(n), "COM" + std::to_string(n)});
        EXPECT_EQ(std::vector<DeviceEntry>(entries.begin() + c.Head.size(), entries.end()), rest);
    }
}

} // namespace
