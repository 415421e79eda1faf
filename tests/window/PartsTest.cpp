// The window logic's helpers: the table that mirrors the command list's group lines, the device list, and the
// wiring from a view's controls to the logic.
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

// What each kind of control raises, as the views hook it up.
TEST(Wiring, EachControlRaisesTheEventsOfItsKind) {
    using enum ControlEvent;
    using layout::ControlId;
    const struct {
        ControlId Id;
        std::vector<ControlEvent> Events;
    } rows[] = {
        {ControlId::txtPhyAdr, {Left}},
        {ControlId::txtHost, {Left}},
        // A name typed into the device list counts when its field is left.
        {ControlId::cmbDevice, {Used, DropDown, Left}},
        {ControlId::cmbBaudrate, {Used, DropDown}},
        {ControlId::btnAdd, {Used, Accelerator}},
        {ControlId::btnStop, {Used, Accelerator}},
        {ControlId::chkFullDuplex, {Used}},
        {ControlId::grpAccessType, {Used}},
        {ControlId::grpAccessType1, {}},
        {ControlId::EibDptList, {Used, TextClicked}},
        {ControlId::CommandList, {Changed}},
        {ControlId::Label3, {}},
        {ControlId::labStatus, {}},
        {ControlId::GroupAddressContainer, {}},
    };
    for (const auto& row : rows) {
        const auto events = EventsOf(layout::Info(row.Id));
        EXPECT_EQ(std::vector<ControlEvent>(events.begin(), events.end()), row.Events)
            << layout::Info(row.Id).Name;
    }
}

// A view that leaves a control out, or registers one of the wrong kind, is told so at the start, not by a
// null pointer later.
TEST(Wiring, AMissingOrMismatchedControlStopsTheStart) {
    FakeWindow w;
    const struct {
        const char* What;
        std::function<void(ControlRegistry&)> Change;
    } rows[] = {
        {"nothing registered", [](ControlRegistry& r) { r = ControlRegistry(); }},
        {"a button as the host field",
         [&w](ControlRegistry& r) { r.Add(layout::ControlId::txtHost, w.btnAdd); }},
        {"a field as the check list",
         [&w](ControlRegistry& r) { r.Add(layout::ControlId::EibDptList, w.txtPort); }},
    };
    for (const auto& row : rows) {
        ControlRegistry registry = w.Registry;
        row.Change(registry);
        EXPECT_THROW(FillControls(w.winMain, registry), std::logic_error) << row.What;
    }
    EXPECT_EQ(FillControls(w.winMain, w.Registry).txtHost, &w.txtHost);
}

} // namespace
