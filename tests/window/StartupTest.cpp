// The window's first state, the settings it starts from and the settings it leaves behind.
#include "FakeWindow.h"
#include "model/Error.h"
#include "os/Files.h"
#include "version/VersionInfo.h"
#include "window/Catalogue.h"
#include "window/StandardError.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace zelo;
using namespace zelo::test;
using layout::ControlId;

namespace {

TEST(Startup, FirstStartWithoutSettingsFile) {
    ReadVersionInfo();
    FakeWindow w;
    EXPECT_EQ(w.cmbDevice.Current(), "COM1");
    EXPECT_EQ(w.cmbBaudrate.Current(), "19200");
    EXPECT_EQ(w.cmbBaudrate.Items, (std::vector<std::string>{"9600", "19200", "38400", "57600"}));
    // No serial device on this system: TCP/IP, then every COM name.
    ASSERT_EQ(w.cmbDevice.Items.size(), 256u);
    EXPECT_EQ(w.cmbDevice.Items[0], "TCP/IP");
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(w.cmbDevice.Items[static_cast<std::size_t>(i + 1)], "COM" + std::to_string(i + 1));
    EXPECT_EQ(w.txtPhyAdr.Value, "15.15.255");
    EXPECT_EQ(w.txtGrpAdrStart.Value, "0/0/0");
    EXPECT_EQ(w.txtGrpAdrEnd.Value, "0/0/0");
    EXPECT_EQ(w.grpAccessType.Index, 2);
    // The catalogue in its order (the model's own test holds every row's text).
    ASSERT_EQ(w.EibDptList.Count(), 17);
    EXPECT_EQ(w.EibDptList.Rows[0].Text, "[empty]");
    EXPECT_EQ(w.EibDptList.Rows[1].Text, "DPT 1.x, 2.x, 3.x (1-6 bit)");
    EXPECT_EQ(w.EibDptList.Rows[11].Text, "DPT 9.x (16 bit floating point value)");
    EXPECT_EQ(w.EibDptList.Rows[16].Text, "other");
    EXPECT_TRUE(w.EibDptList.CheckedRows().empty());
    EXPECT_EQ(w.EibDptList.EnabledRows().size(), 17u);
    EXPECT_EQ(w.EibDptList.Current, -1);
    EXPECT_EQ(w.labStatus.Value, "Ready...");
    EXPECT_EQ(w.ProgressBar.Minimum, 0);
    EXPECT_EQ(w.ProgressBar.Maximum, 1);
    EXPECT_EQ(w.ProgressBar.Position, 0);
    EXPECT_EQ(w.Lines(), std::vector<std::string>{"#SETUP=15.15.255;OFF;OFF;OFF"});
    // The list itself ends with a line end: the next appended line goes behind it.
    EXPECT_EQ(w.CommandList.Text(), "#SETUP=15.15.255;OFF;OFF;OFF\n");
    EXPECT_EQ(w.winMain.Value, "ZELO-KNX-ASCII Configurator V" + VersionText(VersionInfo));
    for (const FakeCheckBox* box : {&w.chkPrintSource, &w.chkPrintHex, &w.chkFullDuplex})
        EXPECT_FALSE(box->Value);
    for (const FakeControl* button :
         {&w.btnAdd, &w.btnImport, &w.btnOpen, &w.btnSave, &w.btnDownload, &w.btnExit})
        EXPECT_TRUE(w.Usable(button->Id)) << layout::Info(button->Id).Name;
    for (const FakeControl* button : {&w.btnIgnore, &w.btnAbort, &w.btnAddAll, &w.btnStop})
        EXPECT_FALSE(w.Usable(button->Id)) << layout::Info(button->Id).Name;
    // Host and port belong to the TCP link only.
    for (const IControl* control :
         {static_cast<const IControl*>(&w.labHost), static_cast<const IControl*>(&w.txtHost),
          static_cast<const IControl*>(&w.labPort), static_cast<const IControl*>(&w.txtPort)})
        EXPECT_FALSE(control->Visible());
    EXPECT_FALSE(w.Logic().Document().Modified());
    EXPECT_EQ(w.Logic().Document().FileName(), "");
    EXPECT_EQ(w.Focused, ControlId::txtPhyAdr);
    EXPECT_FALSE(w.Logic().Importing);
    EXPECT_EQ(w.Logic().ImportIndex, 0);
    EXPECT_TRUE(w.Logic().ImportLines.empty());
    EXPECT_TRUE(w.Boxes.Boxes.empty());
}

// Settings files and what the window makes of them; the device and rate in force are written back at exit.
TEST(Startup, SettingsVariants) {
    ScratchFolder files;
    const std::string existingPath = files.Write("ttyZELO", "");
    const struct {
        std::string Content;
        std::string ShownDevice;
        std::string ShownBaudrate;
        std::string Device;
        int Baudrate;
    } cases[] = {
        {"[SerialPort]\r\nDevice=COM3\r\nBaudrate=57600\r\n", "COM3", "57600", "COM3", 57600},
        {"[serialport]\ndevice = com7\n", "COM7", "19200", "com7", 19200},
        {"[SerialPort]\nDevice=TCP/IP\nBaudrate=9600\n", "TCP/IP", "9600", "TCP/IP", 9600},
        {"[SerialPort]\nDevice=COM2\nBaudrate=4800\n", "COM2", "", "COM2", 4800},
        // An existing device path is listed and chosen; a drive-letter path is no device path.
        {"[SerialPort]\nDevice=" + existingPath + "\n", existingPath.front() == '/' ? existingPath : "",
         "19200", existingPath, 19200},
        {"[SerialPort]\nDevice=/nonexistent/ttyZELO\n", "", "19200", "/nonexistent/ttyZELO", 19200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Content);
        FakeWindow w(c.Content);
        EXPECT_EQ(w.cmbDevice.Current(), c.ShownDevice);
        EXPECT_EQ(w.cmbBaudrate.Current(), c.ShownBaudrate);
        EXPECT_EQ(w.Logic().Converter->Device(), c.Device);
        EXPECT_EQ(w.Logic().Converter->Baudrate(), c.Baudrate);
        // Choosing the entry at start ran no change handler: the stored spelling is written back as it was.
        const std::string saved = w.Close();
        EXPECT_NE(saved.find("Device=" + c.Device + "\r\n"), std::string::npos) << saved;
        EXPECT_NE(saved.find("Baudrate=" + std::to_string(c.Baudrate) + "\r\n"), std::string::npos) << saved;
    }
}

// Both ways out end the window, and the settings are written either way, byte for byte.
TEST(Startup, ExitByButtonAndByCloseBoxSave) {
    const struct {
        bool ByButton;
        const char* Device;
        const char* Baudrate;
        std::string Saved;
    } cases[] = {
        {true, "COM5", "19200", "[SerialPort]\r\nDevice=COM5\r\nBaudrate=19200\r\n\r\n"},
        {false, "COM6", "38400", "[SerialPort]\r\nDevice=COM6\r\nBaudrate=38400\r\n\r\n"},
    };
    for (const auto& c : cases) {
        FakeWindow w;
        w.Choose(w.cmbDevice, c.Device);
        w.Choose(w.cmbBaudrate, c.Baudrate);
        EXPECT_EQ(w.Logic().Converter->Device(), c.Device);
        if (c.ByButton) {
            w.Click(w.btnExit);
            EXPECT_TRUE(w.winMain.Terminated);
        } else {
            EXPECT_TRUE(w.CloseBox());
        }
        EXPECT_TRUE(w.Boxes.Boxes.empty());
        EXPECT_EQ(w.Close(), c.Saved);
    }
}

// One start and one end touch the settings file once each, with the window's own section in it: one read,
// one replace, whichever way the window ends.
TEST(Startup, SettingsReadOnceAndReplacedOnce) {
    const char* const settings = "[SerialPort]\r\nDevice=COM3\r\n\r\n[Configurator]\r\nLastFolder=/x\r\n";
    for (const bool terminated : {false, true}) {
        int reads = 0, replaces = 0;
        os::InjectFileFaults([&](os::FileStep step) {
            reads += step == os::FileStep::Read ? 1 : 0;
            replaces += step == os::FileStep::Rename ? 1 : 0;
            return 0;
        });
        std::string saved;
        {
            FakeWindow w(settings);
            w.Logic().Started({});
            w.Choose(w.cmbBaudrate, "9600");
            if (terminated)
                w.Terminate();
            saved = w.Close();
        }
        os::InjectFileFaults({});
        EXPECT_EQ(reads, 1) << terminated;
        EXPECT_EQ(replaces, 1) << terminated;
        EXPECT_EQ(
            saved,
            "[SerialPort]\r\nDevice=COM3\r\nBaudrate=9600\r\n\r\n[Configurator]\r\nLastFolder=/x\r\n\r\n");
    }
}

// The device list over the system's ports: existing ones first with their descriptions, each once, read
// again when the list opens; the choice keeps its name only.
TEST(Startup, DeviceListReadsThePortsWhenItOpens) {
    const std::vector<os::PortInfo> atStart = {{"/dev/ttyS0", "", "/dev/ttyS0"}};
    FakeWindow w("[SerialPort]\r\nDevice=COM1\r\n", {}, atStart);
    EXPECT_EQ(std::vector<std::string>(w.cmbDevice.Items.begin(), w.cmbDevice.Items.begin() + 3),
              (std::vector<std::string>{"COM1 (serial port)", "TCP/IP", "COM2"}));
    EXPECT_EQ(w.cmbDevice.Current(), "COM1 (serial port)");
    // An adapter plugged in later: there once the list opens again, by its by-id name only.
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0";
    w.Ports = {{byId, "FTDI FT232R USB UART", "/dev/ttyUSB0"},
               {"/dev/ttyUSB0", "FTDI FT232R USB UART", "/dev/ttyUSB0"},
               {"/dev/ttyS0", "", "/dev/ttyS0"}};
    w.OpenDeviceList();
    EXPECT_EQ(
        std::vector<std::string>(w.cmbDevice.Items.begin(), w.cmbDevice.Items.begin() + 4),
        (std::vector<std::string>{byId + " (FTDI FT232R USB UART)", "COM1 (serial port)", "TCP/IP", "COM2"}));
    EXPECT_EQ(w.cmbDevice.Items.size(), 2u + 1u + 254u);
    EXPECT_EQ(w.cmbDevice.Current(), "COM1 (serial port)");
    w.Choose(w.cmbDevice, byId + " (FTDI FT232R USB UART)");
    EXPECT_EQ(w.Logic().Converter->Device(), byId);
    // Pulled out again: the choice stays the link's, shown as the list can.
    w.Ports.clear();
    w.OpenDeviceList();
    EXPECT_EQ(w.cmbDevice.Current(), "");
    EXPECT_EQ(w.Logic().Converter->Device(), byId);
    EXPECT_NE(w.Close().find("Device=" + byId + "\r\n"), std::string::npos);
}

// TCP/IP shows the host and port fields; they reach the link when left and the settings file only while the
// link is the TCP one.
TEST(Startup, TcpLinkHostAndPort) {
    const struct {
        const char* Case;
        std::string Settings;
        std::string Choose; // empty: keep the device
        std::string Host, Port;
        bool Shown;
        std::string Saved;
    } cases[] = {
        {"TCP from the file", "[SerialPort]\r\nDevice=TCP/IP\r\nHost=gw.local\r\nPort=4001\r\n", "", "gw2",
         "5000", true, "[SerialPort]\r\nDevice=TCP/IP\r\nHost=gw2\r\nPort=5000\r\nBaudrate=19200\r\n\r\n"},
        {"TCP chosen", "", "TCP/IP", "10.0.0.7", "4001", true,
         "[SerialPort]\r\nDevice=TCP/IP\r\nBaudrate=19200\r\nHost=10.0.0.7\r\nPort=4001\r\n\r\n"},
        {"serial chosen: the section as before",
         "[SerialPort]\r\nDevice=TCP/IP\r\nHost=gw.local\r\nPort=4001\r\n", "COM2", "", "", false,
         "[SerialPort]\r\nDevice=COM2\r\nHost=gw.local\r\nPort=4001\r\nBaudrate=19200\r\n\r\n"},
        {"serial throughout", "", "", "", "", false, "[SerialPort]\r\nDevice=COM1\r\nBaudrate=19200\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        FakeWindow w(c.Settings.empty() ? std::nullopt : std::optional<std::string>(c.Settings));
        if (!c.Choose.empty())
            w.Choose(w.cmbDevice, c.Choose);
        EXPECT_EQ(w.txtHost.Visible(), c.Shown);
        EXPECT_EQ(w.labHost.Visible(), c.Shown);
        EXPECT_EQ(w.txtPort.Visible(), c.Shown);
        EXPECT_EQ(w.labPort.Visible(), c.Shown);
        if (c.Shown) {
            w.Enter(w.txtHost, c.Host);
            w.Enter(w.txtPort, c.Port);
            EXPECT_EQ(w.Logic().Converter->Host(), c.Host);
            EXPECT_EQ(w.Logic().Converter->Port(), c.Port);
        }
        EXPECT_EQ(w.Close(), c.Saved);
    }
}

TEST(Startup, BaudrateTextThatIsNoNumberGivesTheDefault) {
    const struct {
        const char* Entry;
        int Baudrate;
    } cases[] = {{"57600", 57600}, {"fast", 19200}, {"", 19200}, {"9600x", 19200}, {"38400", 38400}};
    FakeWindow w;
    w.cmbBaudrate.Items = {"57600", "fast", "", "9600x", "38400"};
    for (const auto& c : cases) {
        w.Choose(w.cmbBaudrate, c.Entry);
        EXPECT_EQ(w.Logic().Converter->Baudrate(), c.Baudrate) << c.Entry;
    }
}

TEST(Startup, UnreadableSettingsEndTheStart) {
    ScratchFolder dir;
    // A folder where the file should be cannot be read.
    EXPECT_THROW(FakeWindow(std::nullopt, dir.Path()), Exception);
}

TEST(Startup, FailedSaveIsShownAndTheWindowGoesAllTheSame) {
    ScratchFolder dir;
    // A file where the folder should be: nothing can be written there.
    const std::string path = dir.Write("plain-file", "") + "/zelo.ini";
    FakeWindow w(std::nullopt, path);
    w.Close();
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(w.Boxes.Boxes[0].Title, "ZELO-EIB-ASCII Configurator");
    EXPECT_EQ(w.Boxes.Boxes[0].Flags, 16);
    EXPECT_NE(w.Boxes.Boxes[0].Text.find(path), std::string::npos) << w.Boxes.Boxes[0].Text;
}

// An error a handler lets through: the standard display shows it and the program goes on.
TEST(StandardError, ShownByTheHandlerGuard) {
    const struct {
        std::function<void()> Handler;
        std::string Shown;
        Language In = Language::English;
    } cases[] = {
        {[] { throw Exception("Broken handler"); }, "Broken handler."},
        {[] { throw std::out_of_range("index"); }, "index."},
        {[] { throw 42; }, ""},
        {[] { throw Exception("Done!"); }, "Done!"},
        // In German the message's format is translated, its argument kept.
        {[] { throw Exception("Can't open COM3!"); }, "COM3 kann nicht geöffnet werden!", Language::German},
        {[] { throw Exception("No host name given"); }, "Kein Hostname angegeben.", Language::German},
    };
    ScriptedDialogs boxes;
    for (const auto& c : cases) {
        SetLanguage(c.In);
        Guarded(boxes, c.Handler);
        SetLanguage(Language::English);
        ASSERT_FALSE(boxes.Boxes.empty());
        ExpectBox(boxes.Boxes.back(), c.Shown, "ZELO-EIB-ASCII Configurator", 16);
    }
    EXPECT_EQ(boxes.Boxes.size(), std::size(cases));
    bool ran = false;
    Guarded(boxes, [&ran] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(boxes.Boxes.size(), std::size(cases));
}

TEST(StandardError, FullStopWhenTheLastCharacterSortsAfterOne) {
    const struct {
        std::string Message, Shown;
    } cases[] = {{"abc", "abc."},
                 {"abc.", "abc."},
                 {"Done!", "Done!"},
                 {"", ""},
                 {"x)", "x)"},
                 {"1/2", "1/2."},
                 {"Grüße\xC3\xA9", "Grüße\xC3\xA9."},
                 {"a-", "a-"}};
    for (const auto& c : cases)
        EXPECT_EQ(StandardErrorText(c.Message), c.Shown) << c.Message;
}

} // namespace
