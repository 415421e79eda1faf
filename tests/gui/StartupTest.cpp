// The window's first state, its layout, the settings it starts from and the settings it leaves behind.
#include "GuiSupport.h"
#include "app/CheckListBox.h"
#include "app/ZeloApplication.h"
#include "model/Error.h"
#include "version/VersionInfo.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

std::string Text(const QString& text) {
    return text.toStdString();
}

TEST(Startup, FirstStartWithoutSettingsFile) {
    WindowHarness h;
    TwinMain& w = h.Window();
    EXPECT_EQ(Text(Find<QComboBox>(w, "cmbDevice")->currentText()), "COM1");
    EXPECT_EQ(Text(Find<QComboBox>(w, "cmbBaudrate")->currentText()), "19200");
    EXPECT_EQ(Text(Find<QLineEdit>(w, "txtPhyAdr")->text()), "15.15.255");
    EXPECT_EQ(Text(Find<QLineEdit>(w, "txtGrpAdrStart")->text()), "0/0/0");
    EXPECT_EQ(Text(Find<QLineEdit>(w, "txtGrpAdrEnd")->text()), "0/0/0");
    EXPECT_EQ(w.AccessTypeButtons->checkedId(), 2);
    auto* list = Find<TCheckListBox>(w, "EibDptList");
    ASSERT_EQ(list->count(), 17);
    for (int i = 0; i < 17; ++i) {
        EXPECT_FALSE(list->Checked(i)) << i;
        EXPECT_TRUE(list->ItemEnabled(i)) << i;
    }
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_EQ(Text(Find<QLabel>(w, "labStatus")->text()), "Ready...");
    auto* gauge = Find<QProgressBar>(w, "ProgressBar");
    EXPECT_EQ(gauge->minimum(), 0);
    EXPECT_EQ(gauge->maximum(), 1);
    EXPECT_EQ(gauge->value(), 0);
    EXPECT_EQ(h.Lines(), std::vector<std::string>{"#SETUP=15.15.255;OFF;OFF;OFF"});
    EXPECT_EQ(Text(w.windowTitle()), "ZELO-KNX-ASCII Configurator V" + VersionText(VersionInfo));
    EXPECT_EQ(Text(qApp->applicationName()), "ZELO-EIB-ASCII Configurator");
    for (const char* name : {"chkPrintSource", "chkPrintHex", "chkFullDuplex"})
        EXPECT_FALSE(Find<QCheckBox>(w, name)->isChecked()) << name;
    for (const char* name : {"btnAdd", "btnImport", "btnDownload", "btnExit"})
        EXPECT_TRUE(Find<QPushButton>(w, name)->isEnabled()) << name;
    for (const char* name : {"btnIgnore", "btnAbort"})
        EXPECT_FALSE(Find<QPushButton>(w, name)->isEnabled()) << name;
    EXPECT_FALSE(w.Importing);
    EXPECT_EQ(w.ImportIndex, 0);
    EXPECT_TRUE(w.ImportLines.empty());
    EXPECT_TRUE(h.Boxes.Boxes.empty());
}

TEST(Startup, ControlTexts) {
    WindowHarness h;
    const struct {
        const char* Name;
        const char* Text;
    } labels[] = {{"DeviceSetupCaption", "Device Setup"},
                  {"GroupAddressCaption", "Group addresses"},
                  {"ProgressCaption", "Progress information"},
                  {"CommandListCaption", "Command list"},
                  {"Label6", "Com port:"},
                  {"Label7", "Baudrate:"},
                  {"Label1", "Eib physical address:"},
                  {"Label2", "Group address start:"},
                  {"Label4", "Group address end:"},
                  {"Label3", "Datapoint type:"}};
    for (const auto& label : labels) {
        auto* widget = Find<QLabel>(h.Window(), label.Name);
        ASSERT_NE(widget, nullptr) << label.Name;
        EXPECT_EQ(Text(widget->text()), label.Text);
    }
    const struct {
        const char* Name;
        const char* Text;
    } buttons[] = {{"chkPrintSource", "Output source address"},
                   {"chkPrintHex", "Output addresses as hexadecimal numbers"},
                   {"chkFullDuplex", "Full duplex mode"},
                   {"btnAdd", "&Add"},
                   {"btnIgnore", "I&gnore"},
                   {"btnImport", "&Import"},
                   {"btnAbort", "A&bort"},
                   {"btnDownload", "Download"},
                   {"btnExit", "Exit"}};
    for (const auto& button : buttons) {
        auto* widget = Find<QAbstractButton>(h.Window(), button.Name);
        ASSERT_NE(widget, nullptr) << button.Name;
        EXPECT_EQ(Text(widget->text()), button.Text);
    }
    auto* group = Find<QGroupBox>(h.Window(), "grpAccessType");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(Text(group->title()), "Access type");
    const char* const items[] = {"Read only", "Write only", "Read && Write"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Text(h.Window().AccessTypeButtons->button(i)->text()), items[i]);
    auto* baud = Find<QComboBox>(h.Window(), "cmbBaudrate");
    ASSERT_EQ(baud->count(), 4);
    const char* const rates[] = {"9600", "19200", "38400", "57600"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Text(baud->itemText(i)), rates[i]);
    auto* device = Find<QComboBox>(h.Window(), "cmbDevice");
    ASSERT_GE(device->count(), 255);
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(Text(device->itemText(i)), "COM" + std::to_string(i + 1));
    EXPECT_FALSE(device->isEditable());
    EXPECT_FALSE(baud->isEditable());
}

TEST(Startup, LayoutSizesAndBands) {
    WindowHarness h;
    h.ShowActive();
    TwinMain& w = h.Window();
    EXPECT_EQ(w.size(), QSize(1016, 734));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    // Bands stacked top to bottom over the full width.
    const struct {
        const char* Name;
        int Height;
    } bands[] = {{"DeviceSetupCaption", 33},     {"DeviceSetupContainer", 72}, {"GroupAddressCaption", 33},
                 {"GroupAddressContainer", 183}, {"ProgressCaption", 33},      {"ProgressContainer", 56},
                 {"CommandListCaption", 33},     {"CommandList", 250},         {"ButtonContainer", 41}};
    int top = 0;
    for (const auto& band : bands) {
        auto* widget = Find<QWidget>(w, band.Name);
        ASSERT_NE(widget, nullptr) << band.Name;
        EXPECT_EQ(widget->geometry(), QRect(0, top, 1016, band.Height)) << band.Name;
        top += band.Height;
    }
    EXPECT_EQ(top, 734);
    EXPECT_EQ(Find<QProgressBar>(w, "ProgressBar")->size(), QSize(1001, 17));
    EXPECT_EQ(Find<QWidget>(w, "EibDptList")->size(), QSize(529, 123));
    EXPECT_EQ(Find<QWidget>(w, "txtGrpAdrStart")->width(), 153);
    EXPECT_EQ(Find<QWidget>(w, "txtGrpAdrEnd")->width(), 153);
    for (const char* name : {"btnAdd", "btnDownload", "btnExit"})
        EXPECT_EQ(Find<QWidget>(w, name)->size(), QSize(105, 25)) << name;
    // The two buttons sit at the right-hand end, Download first.
    auto* download = Find<QWidget>(w, "btnDownload");
    auto* exit = Find<QWidget>(w, "btnExit");
    EXPECT_LT(download->x(), exit->x());
    EXPECT_GT(exit->geometry().right(), 1016 - 20);
    auto* commands = Find<QPlainTextEdit>(w, "CommandList");
    EXPECT_EQ(commands->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(commands->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(commands->verticalScrollBar()->isVisible());
    // No text cut short: every label and box gets at least the width its text asks for.
    for (QWidget* child : w.findChildren<QWidget*>()) {
        if (qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child)) {
            EXPECT_GE(child->width(), child->sizeHint().width()) << Text(child->objectName());
        }
    }
    // Two columns of check boxes, all inside the list without scrolling.
    auto* list = Find<TCheckListBox>(w, "EibDptList");
    const QRect first = list->visualItemRect(list->item(0));
    const QRect tenth = list->visualItemRect(list->item(9));
    EXPECT_EQ(list->visualItemRect(list->item(8)).x(), first.x());
    EXPECT_GT(tenth.x(), first.x());
    auto allShown = [list] {
        for (int i = 0; i < list->count(); ++i) {
            const QRect rect = list->visualItemRect(list->item(i));
            EXPECT_TRUE(list->viewport()->rect().contains(rect)) << i;
            EXPECT_LE(list->fontMetrics().horizontalAdvance(list->item(i)->text()), rect.width()) << i;
        }
    };
    allShown();
    // Still so after ranges were added with checks clicked in both columns.
    h.AddRange("1/0/0", "1/0/10", 11);
    h.AddRange("2/1/0", "2/1/0", 12);
    QApplication::processEvents();
    allShown();
}

TEST(Startup, TabOrderStartsAtThePhysicalAddress) {
    WindowHarness h;
    h.ShowActive();
    TwinMain& w = h.Window();
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(w, "txtPhyAdr"));
    const std::vector<std::string> expected = {
        "chkPrintSource", "chkPrintHex",  "chkFullDuplex", "cmbDevice",   "cmbBaudrate",
        "txtGrpAdrStart", "txtGrpAdrEnd", "EibDptList",    "btnAdd",      "btnImport",
        "grpAccessType0", "btnDownload",  "btnExit",       "CommandList", "txtPhyAdr"};
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.push_back(Text(QApplication::focusWidget()->objectName()));
    }
    EXPECT_EQ(seen, expected);
}

// Settings files and what the window makes of them; the device and rate in force are written back at exit.
TEST(Startup, SettingsVariants) {
    TempDir files;
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
        {"[SerialPort]\nDevice=TCP/IP\nBaudrate=9600\n", "", "9600", "TCP/IP", 9600},
        {"[SerialPort]\nDevice=COM2\nBaudrate=4800\n", "COM2", "", "COM2", 4800},
        {"[SerialPort]\nDevice=" + existingPath + "\n", existingPath, "19200", existingPath, 19200},
        {"[SerialPort]\nDevice=/nonexistent/ttyZELO\n", "", "19200", "/nonexistent/ttyZELO", 19200},
    };
    for (const auto& c : cases) {
        WindowHarness h(c.Content);
        SCOPED_TRACE(c.Content);
        auto* device = Find<QComboBox>(h.Window(), "cmbDevice");
        EXPECT_EQ(Text(device->currentText()), c.ShownDevice);
        // A long device path is shown whole, and the baud rate list still fits the window.
        EXPECT_GT(device->width(), device->fontMetrics().horizontalAdvance(device->currentText()));
        EXPECT_LE(Find<QComboBox>(h.Window(), "cmbBaudrate")->geometry().right(), 1016);
        EXPECT_EQ(Text(Find<QComboBox>(h.Window(), "cmbBaudrate")->currentText()), c.ShownBaudrate);
        EXPECT_EQ(h.Window().Converter->Device(), c.Device);
        EXPECT_EQ(h.Window().Converter->Baudrate(), c.Baudrate);
        // Choosing the entry at start ran no change handler: the stored spelling is written back as it was.
        const std::string saved = h.Close();
        EXPECT_NE(saved.find("Device=" + c.Device + "\r\n"), std::string::npos) << saved;
        EXPECT_NE(saved.find("Baudrate=" + std::to_string(c.Baudrate) + "\r\n"), std::string::npos) << saved;
    }
}

TEST(Startup, NoSettingsFileIsWrittenWithTheChoicesAtExit) {
    WindowHarness h;
    auto* device = Find<QComboBox>(h.Window(), "cmbDevice");
    auto* baud = Find<QComboBox>(h.Window(), "cmbBaudrate");
    device->setCurrentIndex(device->findText("COM4"));
    baud->setCurrentIndex(baud->findText("38400"));
    EXPECT_EQ(h.Window().Converter->Device(), "COM4");
    EXPECT_EQ(h.Window().Converter->Baudrate(), 38400);
    EXPECT_EQ(h.Close(), "[SerialPort]\r\nDevice=COM4\r\nBaudrate=38400\r\n\r\n");
}

// Both ways out end the message loop, and the settings are written either way.
TEST(Startup, ExitByButtonAndByCloseBoxSave) {
    for (const bool byButton : {true, false}) {
        WindowHarness h;
        h.ShowActive();
        auto* device = Find<QComboBox>(h.Window(), "cmbDevice");
        device->setCurrentIndex(device->findText(byButton ? "COM5" : "COM6"));
        QTimer::singleShot(0, &h.Window(), [&h, byButton] {
            if (byButton)
                QTest::mouseClick(Find<QPushButton>(h.Window(), "btnExit"), Qt::LeftButton);
            else
                h.Window().close();
        });
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_EQ(h.Close(), std::string("[SerialPort]\r\nDevice=") + (byButton ? "COM5" : "COM6") +
                                 "\r\nBaudrate=19200\r\n\r\n");
    }
}

TEST(Startup, UnreadableSettingsEndTheStart) {
    TempDir dir;
    ScriptedDialogs boxes;
    // A folder where the file should be cannot be read.
    const std::string path = dir.Path();
    EXPECT_THROW(TwinMain(boxes, path), Exception);
}

TEST(Startup, FailedSaveIsShownAndTheWindowGoesAllTheSame) {
    WindowHarness h;
    // A file where the folder should be: nothing can be written there.
    h.SettingsPath = h.Dir.Write("plain-file", "") + "/zelo.ini";
    auto window = std::make_unique<TwinMain>(h.Boxes, h.SettingsPath);
    window.reset();
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Boxes.Boxes[0].Title, "ZELO-EIB-ASCII Configurator");
    EXPECT_EQ(h.Boxes.Boxes[0].Flags, 16);
    EXPECT_NE(h.Boxes.Boxes[0].Text.find(h.SettingsPath), std::string::npos);
}

} // namespace
