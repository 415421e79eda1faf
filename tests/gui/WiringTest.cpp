// The Qt view's own part: its controls by name with their texts and places, the user's events reaching the
// window logic, the focus rule of the address fields, a download through the view, and resizing.
#include "GuiSupport.h"
#include "Watchdog.h"
#include "model/Address.h"
#include "model/Error.h"
#include "os/Signals.h"
#include "sim/GatewaySim.h"
#include "version/VersionInfo.h"
#include "window/Catalogue.h"
#include "window/qt/CheckList.h"
#include "window/qt/CommandListEdit.h"
#include "window/qt/QtDialogs.h"
#include "window/qt/ZeloApplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <utility>

using namespace zelo;
using namespace zelo::test;
using layout::ControlKind;

namespace {

using Lines = std::vector<std::string>;
const std::string SetupLine0 = "#SETUP=15.15.255;OFF;OFF;OFF";

std::string Text(const QString& text) {
    return text.toStdString();
}

std::string Name(const layout::ControlInfo& info) {
    return std::string(info.Name);
}

TEST(View, ControlsFoundByNameWithTheirTexts) {
    ViewHarness h;
    for (const layout::ControlInfo& info : layout::Controls()) {
        QWidget* widget = h.Find<QWidget>(Name(info).c_str());
        ASSERT_NE(widget, nullptr) << info.Name;
        EXPECT_EQ(widget, h.Window().Control(info.Id)) << info.Name;
        std::string shown;
        if (auto* label = qobject_cast<QLabel*>(widget))
            shown = Text(label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            shown = Text(button->text());
        else if (auto* group = qobject_cast<QGroupBox*>(widget))
            shown = Text(group->title());
        if (info.Kind != ControlKind::StatusLabel) {
            EXPECT_EQ(shown, info.Text) << info.Name;
        }
    }
    EXPECT_EQ(Text(h.Window().windowTitle()), "ZELO-KNX-ASCII Configurator V" + VersionText(VersionInfo));
    EXPECT_EQ(Text(qApp->applicationName()), "ZELO-EIB-ASCII Configurator");
    EXPECT_EQ(Text(h.Find<QLabel>("labStatus")->text()), "Ready...");
    EXPECT_EQ(h.Find<QLabel>("labStatus")->textFormat(), Qt::PlainText);
    auto* baud = h.Find<QComboBox>("cmbBaudrate");
    ASSERT_EQ(baud->count(), 4);
    EXPECT_EQ(Text(baud->currentText()), "19200");
    EXPECT_FALSE(baud->isEditable());
    EXPECT_EQ(Text(h.Find<QComboBox>("cmbDevice")->currentText()), "COM1");
    EXPECT_EQ(h.Find<CheckList>("EibDptList")->count(), 17);
    EXPECT_EQ(h.Window().AccessTypeButtons()->checkedId(), 2);
    for (const char* name : {"btnIgnore", "btnAbort", "btnAddAll"})
        EXPECT_FALSE(h.Find<QWidget>(name)->isEnabled()) << name;
    EXPECT_EQ(h.Lines(), Lines{SetupLine0});
}

// The language the application chooses at start: the view's labels and Qt's own buttons follow it.
TEST(View, LabelsInTheLanguageChosenAtStart) {
    const struct {
        const char* Lang;
        const char* Override; // ZELO_LANGUAGE, nullptr for unset
        const char* Exit;
        const char* AccessType;
        const char* QtCancel; // Qt's own button, from Qt's translations
    } cases[] = {
        {"de_DE.UTF-8", nullptr, "Beenden", "Zugriff", "Abbrechen"},
        {"de_AT", nullptr, "Beenden", "Zugriff", "Abbrechen"},
        {"de_DE.UTF-8", "en", "Exit", "Access type", "Cancel"},
        {"C", "de", "Beenden", "Zugriff", "Abbrechen"},
        {"C", nullptr, "Exit", "Access type", "Cancel"},
    };
    // The variables as the test found them, put back at its end; LC_ALL and LC_MESSAGES would hide LANG.
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG", "ZELO_LANGUAGE"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        unsetenv(name);
    }
    // Qt's translations are a recommended package: without them only Qt's own texts stay English.
    const bool qtGerman = QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Lang) + " / " + (c.Override ? c.Override : "-"));
        setenv("LANG", c.Lang, 1);
        if (c.Override)
            setenv("ZELO_LANGUAGE", c.Override, 1);
        ZeloApplication::Instance()->ChooseLanguage();
        {
            ViewHarness h;
            h.ShowActive();
            EXPECT_EQ(Text(h.Find<QPushButton>("btnExit")->text()), c.Exit);
            EXPECT_EQ(Text(h.Find<QGroupBox>("grpAccessType")->title()), c.AccessType);
            // At the design size every text shows whole and no two controls of a band overlap.
            EXPECT_EQ(h.Window().size(), QSize(1016, 734));
            EXPECT_FALSE(h.Window().ClientArea()->horizontalScrollBar()->isVisible());
            for (const layout::ControlInfo& info : layout::Controls()) {
                QWidget* widget = h.Window().Control(info.Id);
                if (qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget)) {
                    EXPECT_GE(widget->width(), widget->sizeHint().width()) << info.Name;
                }
                EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry())) << info.Name;
                for (const layout::ControlInfo& other : layout::Controls()) {
                    QWidget* second = h.Window().Control(other.Id);
                    if (other.Id > info.Id && other.Parent == info.Parent && widget->isVisible() &&
                        second->isVisible() && widget->parentWidget() == second->parentWidget()) {
                        EXPECT_FALSE(widget->geometry().intersects(second->geometry()))
                            << info.Name << " / " << other.Name;
                    }
                }
            }
            // Every datapoint row shows whole.
            auto* list = h.Find<CheckList>("EibDptList");
            for (int i = 0; i < list->count(); ++i) {
                const QRect rect = list->visualItemRect(list->item(i));
                EXPECT_TRUE(list->viewport()->rect().contains(rect)) << Text(list->item(i)->text());
                EXPECT_LE(list->fontMetrics().horizontalAdvance(list->item(i)->text()), rect.width())
                    << Text(list->item(i)->text());
            }
        }
        if (qtGerman || std::string(c.Exit) == "Exit") {
            EXPECT_EQ(Text(QCoreApplication::translate("QPlatformTheme", "Cancel")), c.QtCancel);
        }
        unsetenv("ZELO_LANGUAGE");
    }
    for (const auto& [name, value] : saved)
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    ZeloApplication::Instance()->ChooseLanguage();
    EXPECT_EQ(CurrentLanguage(), Language::English);
}

TEST(View, StartsAtTheDesignSizeWithTheBands) {
    ViewHarness h;
    h.ShowActive();
    QtMainWindow& w = h.Window();
    EXPECT_EQ(w.size(), QSize(1016, 734));
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    // The layout's bands are the logic suite's; here its rectangles reach the widgets.
    EXPECT_EQ(h.Find<QWidget>("ProgressBar")->size(), QSize(1001, 17));
    EXPECT_EQ(h.Find<QWidget>("EibDptList")->size(), QSize(529, 123));
    EXPECT_EQ(h.Find<QWidget>("txtGrpAdrStart")->width(), 153);
    EXPECT_EQ(h.Find<QWidget>("cmbDevice")->width(), 97); // COM1 needs no more than the design width
    for (const char* name : {"btnAdd", "btnDownload", "btnExit"})
        EXPECT_EQ(h.Find<QWidget>(name)->size(), QSize(105, 25)) << name;
    auto* commands = h.Find<QPlainTextEdit>("CommandList");
    EXPECT_EQ(commands->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(commands->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(commands->verticalScrollBar()->isVisible());
    EXPECT_FALSE(w.ClientArea()->verticalScrollBar()->isVisible());
    // No text cut short: every label and box gets at least the width its text asks for.
    for (QWidget* child : w.findChildren<QWidget*>())
        if (qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child)) {
            EXPECT_GE(child->width(), child->sizeHint().width()) << Text(child->objectName());
        }
    // Two columns of check boxes, all inside the list without scrolling, also after checks in both columns.
    auto* list = h.Find<CheckList>("EibDptList");
    auto allShown = [list] {
        EXPECT_EQ(list->visualItemRect(list->item(8)).x(), list->visualItemRect(list->item(0)).x());
        EXPECT_GT(list->visualItemRect(list->item(9)).x(), list->visualItemRect(list->item(0)).x());
        for (int i = 0; i < list->count(); ++i) {
            const QRect rect = list->visualItemRect(list->item(i));
            EXPECT_TRUE(list->viewport()->rect().contains(rect)) << i;
            EXPECT_LE(list->fontMetrics().horizontalAdvance(list->item(i)->text()), rect.width()) << i;
        }
    };
    allShown();
    h.ClickCheck(11);
    h.ClickCheck(12);
    QApplication::processEvents();
    allShown();
}

// A device path widens the list (how far, and what moves along, is the layout's); the open list shows it
// whole.
TEST(View, DeviceListWidensForALongPath) {
    TempDir dir;
    const std::string longPath = dir.Write("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "");
    ViewHarness h("[SerialPort]\r\nDevice=" + longPath + "\r\n");
    h.ShowActive();
    auto* device = h.Find<QComboBox>("cmbDevice");
    EXPECT_EQ(Text(device->currentText()), longPath);
    EXPECT_GT(device->width(), 97);
    device->showPopup();
    EXPECT_GT(device->view()->width(), device->fontMetrics().horizontalAdvance(device->currentText()));
    device->hidePopup();
}

TEST(View, TabOrderStartsAtThePhysicalAddress) {
    ViewHarness h;
    h.ShowActive();
    EXPECT_EQ(QApplication::focusWidget(), h.Find<QWidget>("txtPhyAdr"));
    const std::vector<std::string> expected = {
        "chkPrintSource", "chkPrintHex", "chkFullDuplex", "cmbDevice", "cmbBaudrate",    "txtGrpAdrStart",
        "txtGrpAdrEnd",   "EibDptList",  "btnAdd",        "btnImport", "grpAccessType0", "btnMonitor",
        "btnOpen",        "btnSave",     "btnDownload",   "btnExit",   "CommandList",    "txtPhyAdr"};
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.push_back(Text(QApplication::focusWidget()->objectName()));
    }
    EXPECT_EQ(seen, expected);
}

// Each kind of user event reaches its handler: what the logic then holds shows it arrived.
TEST(View, EventsReachTheLogic) {
    ViewHarness h;
    h.ShowActive();
    TwinMain& logic = h.Logic();
    const struct {
        const char* Event;
        std::function<void()> Act;
        std::function<bool()> Arrived;
    } events[] = {
        {"leaving the physical address", [&h] { h.Enter("txtPhyAdr", "1.1.9"); },
         [&h] { return h.Lines()[0] == "#SETUP=1.1.9;OFF;OFF;OFF"; }},
        {"an option box clicked", [&h] { h.Click("chkPrintHex"); },
         [&h] { return h.Lines()[0] == "#SETUP=1.1.9;OFF;ON;OFF"; }},
        {"an option box by the space key",
         [&h] {
             h.Find<QWidget>("chkFullDuplex")->setFocus();
             QTest::keyClick(h.Find<QWidget>("chkFullDuplex"), Qt::Key_Space);
         },
         [&h] { return h.Lines()[0] == "#SETUP=1.1.9;OFF;ON;ON"; }},
        {"a device typed, then left",
         [&h] {
             auto* device = h.Find<QComboBox>("cmbDevice");
             device->setFocus(Qt::MouseFocusReason);
             device->lineEdit()->selectAll();
             QTest::keyClicks(device->lineEdit(), " /dev/ttyAMA0 ");
             QTest::keyClick(device, Qt::Key_Tab);
         },
         [&logic] { return logic.Converter->Device() == "/dev/ttyAMA0"; }},
        {"a device chosen", [&h] { QTest::keyClick(h.Find<QComboBox>("cmbDevice"), Qt::Key_Down); },
         [&logic] { return logic.Converter->Device() == "COM2"; }},
        {"a baud rate chosen", [&h] { QTest::keyClick(h.Find<QComboBox>("cmbBaudrate"), Qt::Key_Down); },
         [&logic] { return logic.Converter->Baudrate() == 38400; }},
        {"an access type clicked", [&h] { h.Click("grpAccessType0"); },
         [&logic] { return logic.CurrentGroup->AccessType == 0; }},
        {"leaving the start address", [&h] { h.Enter("txtGrpAdrStart", "1/2/3"); },
         [&logic] { return logic.CurrentGroup->StartAddress == 0x0A03; }},
        {"leaving the end address", [&h] { h.Enter("txtGrpAdrEnd", "1/2/9"); },
         [&logic] { return logic.CurrentGroup->EndAddress == 0x0A09; }},
        {"two datapoint types clicked: one stays checked",
         [&h] {
             h.ClickCheck(3);
             h.ClickCheck(5);
         },
         [&h] {
             auto* list = h.Find<CheckList>("EibDptList");
             return !list->Checked(3) && list->Checked(5) && list->currentRow() == 5;
         }},
        {"the space key on the current type",
         [&h] {
             auto* list = h.Find<CheckList>("EibDptList");
             list->setCurrentRow(1);
             list->setFocus();
             QTest::keyClick(list, Qt::Key_Space);
         },
         [&h] {
             auto* list = h.Find<CheckList>("EibDptList");
             return list->Checked(1) && !list->Checked(5);
         }},
        {"Add clicked", [&h] { h.Click("btnAdd"); },
         [&h] { return h.Lines().back() == "#DG1/2/3-1/2/9=BIT;R"; }},
        {"Import clicked", [&h] { h.Click("btnImport"); }, [&h] { return h.Boxes.Filters.size() == 1; }},
        {"a line typed into the list",
         [&h] {
             auto* list = h.Find<QPlainTextEdit>("CommandList");
             list->setFocus();
             list->moveCursor(QTextCursor::End);
             QTest::keyClicks(list, "#DG7/0/0=BIT;RW");
             h.Boxes.Answers = {7};
             h.Enter("txtGrpAdrStart", "7/0/0");
             h.Enter("txtGrpAdrEnd", "7/0/1");
             h.Click("btnAdd");
         },
         // The typed line is found by the same-start search: its question was asked.
         [&h] { return h.Boxes.Boxes.size() == 1 && h.Lines().back() == "#DG7/0/0-7/0/1=BIT;R"; }},
        {"Exit clicked, the changes not to be saved",
         [&h] {
             h.Boxes.Answers = {box::IdNo};
             QTimer::singleShot(0, &h.Window(), [&h] { h.Click("btnExit"); });
             QApplication::exec();
         },
         [&h] { return h.Boxes.Boxes.back().Text == "Save changes to the command list?"; }},
    };
    for (const auto& e : events) {
        e.Act();
        EXPECT_TRUE(e.Arrived()) << e.Event;
    }
    EXPECT_EQ(h.Close(), "[SerialPort]\r\nDevice=COM2\r\nBaudrate=38400\r\n\r\n");
}

// Leaving a field for another control of the window is judged; a popup or another window taking the focus is
// not, and the window taking the focus back into a bad field is no leave of the field it came from.
TEST(View, FocusLeavesAFieldOnlyForAnotherControlOfTheWindow) {
    const struct {
        const char* Case;
        std::function<void(ViewHarness&)> TakeFocus;
        std::size_t Boxes;
    } cases[] = {
        {"a popup menu opens",
         [](ViewHarness& h) {
             QMenu menu(&h.Window());
             menu.addAction(QStringLiteral("item"));
             menu.popup(h.Window().geometry().center());
             ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
             QApplication::processEvents();
             menu.close();
         },
         0},
        {"the field's own context menu opens",
         [](ViewHarness& h) {
             auto* field = h.Find<QLineEdit>("txtGrpAdrStart");
             QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(4, 4),
                                    field->mapToGlobal(QPoint(4, 4)));
             QApplication::sendEvent(field, &menu);
             QWidget* popup = QApplication::activePopupWidget();
             ASSERT_NE(popup, nullptr);
             ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
             QApplication::processEvents();
             popup->close();
         },
         0},
        {"another window is activated",
         [](ViewHarness&) {
             QWidget other;
             other.show();
             other.activateWindow();
             ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
         },
         0},
        {"the Tab key",
         [](ViewHarness& h) { QTest::keyClick(h.Find<QWidget>("txtGrpAdrStart"), Qt::Key_Tab); }, 1},
        // The field is left for the button, then for the list that Add sends the focus to: judged each time.
        {"a click on Add", [](ViewHarness& h) { h.Click("btnAdd"); }, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        ViewHarness h;
        h.ShowActive();
        auto* start = h.Find<QLineEdit>("txtGrpAdrStart");
        h.Find<QLineEdit>("txtGrpAdrEnd")->setText(QStringLiteral("9/9/9"));
        start->setFocus(Qt::MouseFocusReason);
        start->setText(QStringLiteral("1/2/300"));
        c.TakeFocus(h);
        EXPECT_EQ(h.Boxes.Boxes.size(), c.Boxes);
        if (c.Boxes > 0 && !h.Boxes.Boxes.empty()) {
            EXPECT_EQ(h.Boxes.Boxes[0].Text, InvalidGroupAddressMessage);
            EXPECT_EQ(QApplication::focusWidget(), start);
        }
    }
}

// What the window showed each time the driver had the gauge painted during the download.
struct Frame {
    std::string Status;
    int Position = 0;
    bool AreasEnabled = false;
    bool WaitCursor = false;
    bool StopShown = false;
    bool FocusOnStop = false;
};

class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(ViewHarness& h) : H(h) {
        h.Find<QProgressBar>("ProgressBar")->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && H.Logic().Download().Running()) {
            const QCursor* cursor = QApplication::overrideCursor();
            bool enabled = false;
            for (const char* area :
                 {"DeviceSetupContainer", "GroupAddressContainer", "CommandList", "ButtonContainer"})
                enabled = enabled || H.Find<QWidget>(area)->isEnabled();
            Frames.push_back({Text(H.Find<QLabel>("labStatus")->text()),
                              static_cast<QProgressBar*>(watched)->value(), enabled,
                              cursor != nullptr && cursor->shape() == Qt::WaitCursor,
                              H.Find<QWidget>("btnStop")->isVisible(),
                              QApplication::focusWidget() == H.Find<QWidget>("btnStop")});
            if (OnFirstFrame)
                std::exchange(OnFirstFrame, nullptr)();
        }
        return false;
    }
    ViewHarness& H;
    std::vector<Frame> Frames;
    std::function<void()> OnFirstFrame;
};

// The download through the view: the areas locked and the hourglass shown while the gauge moves, the close
// box held until the end, then the window closes.
TEST(View, DownloadIntoTheSimulatorWithTheCloseBoxHeld) {
    sim::GatewaySim gateway;
    const std::string pty = gateway.OpenPty();
    gateway.Start();
    ViewHarness h("[SerialPort]\r\nDevice=" + pty + "\r\nBaudrate=19200\r\n");
    h.ShowActive();
    PaintRecorder recorder(h);
    bool closedAtOnce = true;
    recorder.OnFirstFrame = [&h, &closedAtOnce] { closedAtOnce = h.Window().close(); };
    // The physical address typed but not left: the click moves the focus and rebuilds the setup line.
    auto* phys = h.Find<QLineEdit>("txtPhyAdr");
    phys->setFocus();
    phys->setText(QStringLiteral("1.1.250"));
    // The changed list is asked about once the download has ended.
    h.Boxes.Answers = {box::IdNo};
    h.Click("btnDownload");
    EXPECT_EQ(gateway.Configuration(), Lines{"#SETUP=1.1.250;OFF;OFF;OFF"});
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Boxes.Boxes[0].Text, "Save changes to the command list?");
    EXPECT_FALSE(closedAtOnce);
    ASSERT_FALSE(recorder.Frames.empty());
    for (const Frame& frame : recorder.Frames) {
        EXPECT_FALSE(frame.AreasEnabled);
        EXPECT_TRUE(frame.WaitCursor);
        EXPECT_TRUE(frame.StopShown);
        EXPECT_TRUE(frame.FocusOnStop);
    }
    EXPECT_FALSE(h.Find<QWidget>("btnStop")->isVisible());
    // The close held is said in the status line until the end.
    EXPECT_EQ(recorder.Frames.back().Status, ClosingStatus);
    EXPECT_EQ(Text(h.Find<QLabel>("labStatus")->text()), "Configuration loaded successfully!");
    EXPECT_EQ(recorder.Frames.back().Position, 2);
    EXPECT_EQ(Text(h.Find<QProgressBar>("ProgressBar")->text()), "100%");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(h.Window().isVisible());
    for (const char* area :
         {"DeviceSetupContainer", "GroupAddressContainer", "CommandList", "ButtonContainer"})
        EXPECT_TRUE(h.Find<QWidget>(area)->isEnabled()) << area;
    EXPECT_FALSE(h.Find<QWidget>("btnIgnore")->isEnabled());
}

// Files dragged onto a widget of the window: the drag is offered, then dropped.
void DropFiles(QWidget* target, const std::vector<std::string>& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& file : files)
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(file)));
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
}

// The controls and keys of the list's files, the TCP link and the device list reach the logic.
TEST(View, FilesKeysAndTheLinkReachTheLogic) {
    ViewHarness h;
    h.ShowActive();
    TwinMain& logic = h.Logic();
    const std::string first = h.Dir.Write("first.txt", "#SETUP=1.2.3;OFF;OFF;OFF\n#DG1/1/1=BIT;RW\n");
    const std::string second = h.Dir.Write("second.txt", "#DG2/2/2=BIT;RW\n");
    const std::string saved = h.Dir.File("saved.txt");
    auto* device = h.Find<QComboBox>("cmbDevice");
    auto* list = h.Find<CheckList>("EibDptList");
    auto* commands = h.Find<QPlainTextEdit>("CommandList");
    const struct {
        const char* Event;
        std::function<void()> Act;
        std::function<bool()> Arrived;
    } events[] = {
        {"Ctrl+O",
         [&] {
             h.Boxes.Files = {first};
             QTest::keyClick(commands, Qt::Key_O, Qt::ControlModifier);
         },
         [&] {
             return h.Lines() == Lines{"#SETUP=1.2.3;OFF;OFF;OFF", "#DG1/1/1=BIT;RW"};
         }},
        {"Open... clicked",
         [&] {
             h.Boxes.Files = {second};
             h.Click("btnOpen");
         },
         [&] { return logic.Document().FileName() == second; }},
        {"Shift+Ctrl+S",
         [&] {
             h.Boxes.SaveNames = {saved};
             QTest::keyClick(h.Find<QWidget>("txtPhyAdr"), Qt::Key_S,
                             Qt::ControlModifier | Qt::ShiftModifier);
         },
         [&] { return ReadFileBytes(saved) == "#DG2/2/2=BIT;RW\n" && h.Boxes.Saves.size() == 1; }},
        {"Save... clicked, in place",
         [&] {
             h.Enter("txtGrpAdrStart", "3/3/3");
             h.ClickCheck(1);
             h.Click("btnAdd");
             h.Click("btnSave");
         },
         [&] {
             return ReadFileBytes(saved) == "#DG2/2/2=BIT;RW\n#DG3/3/3=BIT;RW\n" && h.Boxes.Saves.size() == 1;
         }},
        {"Ctrl+S", [&] { QTest::keyClick(commands, Qt::Key_S, Qt::ControlModifier); },
         [&] { return !logic.Document().Modified() && h.Boxes.Saves.size() == 1; }},
        {"a type's text clicked",
         [&] {
             const QRect row = list->visualItemRect(list->item(4));
             QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                               QPoint(row.right() - 4, row.center().y()));
         },
         [&] { return list->Checked(4) && !list->Checked(1); }},
        // A key on a button leaves the field being typed in first, as a click does.
        {"Alt+A with the end typed but not left: the range on screen",
         [&] {
             h.Enter("txtGrpAdrStart", "4/0/0");
             auto* end = h.Find<QLineEdit>("txtGrpAdrEnd");
             end->setFocus(Qt::MouseFocusReason);
             end->setText(QStringLiteral("4/0/9"));
             QTest::keyClick(end, Qt::Key_A, Qt::AltModifier);
         },
         [&] { return h.Lines().back() == "#DG4/0/0-4/0/9=UWORD;RW"; }},
        {"Ctrl+S with the physical address typed but not left: in the file",
         [&] {
             auto* phys = h.Find<QLineEdit>("txtPhyAdr");
             phys->setFocus(Qt::MouseFocusReason);
             phys->setText(QStringLiteral("1.2.5"));
             QTest::keyClick(phys, Qt::Key_S, Qt::ControlModifier);
         },
         [&] {
             return ReadFileBytes(saved).starts_with("#SETUP=1.2.5;OFF;OFF;OFF\n") &&
                    !logic.Document().Modified();
         }},
        {"the device list opened: the ports read again",
         [&] {
             h.Ports = {{"/dev/ttyS3", "", "/dev/ttyS3"}};
             device->showPopup();
             device->hidePopup();
         },
         [&] { return Text(device->itemText(0)) == "COM4 (serial port)"; }},
        {"TCP/IP chosen: host and port shown and left",
         [&] {
             // Home moves the cursor of the field, which takes typing: the entry chosen as a click would.
             device->setCurrentIndex(device->findText(QStringLiteral("TCP/IP")));
             h.Enter("txtHost", QStringLiteral("gw.local"));
             h.Enter("txtPort", QStringLiteral("4001"));
         },
         [&] {
             return logic.Converter->Device() == "TCP/IP" && h.Find<QWidget>("txtHost")->isVisible() &&
                    h.Find<QWidget>("labPort")->isVisible() && logic.Converter->Host() == "gw.local" &&
                    logic.Converter->Port() == "4001";
         }},
        {"a list dropped on the command list", [&] { DropFiles(commands->viewport(), {first}); },
         [&] { return logic.Document().FileName() == first; }},
        {"a list dropped on a field", [&] { DropFiles(h.Find<QWidget>("txtGrpAdrEnd"), {second}); },
         [&] {
             // The field keeps its text: the drop is the window's, not text for the field.
             return logic.Document().FileName() == second &&
                    Text(h.Find<QLineEdit>("txtGrpAdrEnd")->text()) == "4/0/9";
         }},
    };
    for (const auto& e : events) {
        e.Act();
        EXPECT_TRUE(e.Arrived()) << e.Event;
    }
    EXPECT_TRUE(h.Boxes.Boxes.empty()) << h.Boxes.Boxes.front().Text;
}

// A refused line is selected and shown; the gutter numbers the lines that would be sent.
TEST(View, RefusedLineIsSelectedBesideItsNumber) {
    sim::SimOptions refuse;
    refuse.RefuseLine = 60;
    sim::GatewaySim gateway(refuse);
    const std::string pty = gateway.OpenPty();
    gateway.Start();
    ViewHarness h("[SerialPort]\r\nDevice=" + pty + "\r\nBaudrate=19200\r\n");
    h.ShowActive();
    auto* commands = static_cast<CommandListEdit*>(h.Find<QPlainTextEdit>("CommandList"));
    const int narrow = commands->GutterWidth();
    QString text = QString::fromStdString(SetupLine0) + QLatin1Char('\n');
    for (int i = 0; i < 1200; ++i)
        text += QStringLiteral("#DG1/0/%1=BIT;RW\n").arg(i % 256);
    commands->setPlainText(text);
    EXPECT_GT(commands->GutterWidth(), narrow);
    EXPECT_EQ(commands->ShownNumbers().front(), 1);
    h.Click("btnDownload");
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_NE(h.Boxes.Boxes[0].Text.find("line 60 "), std::string::npos);
    EXPECT_EQ(Text(commands->textCursor().selectedText()), "#DG1/0/58=BIT;RW");
    EXPECT_EQ(QApplication::focusWidget(), commands);
    EXPECT_TRUE(commands->ShownNumbers().contains(60));
    // A line end at the very end adds no line: the empty last block has no number.
    commands->moveCursor(QTextCursor::End);
    commands->ensureCursorVisible();
    QApplication::processEvents();
    EXPECT_EQ(commands->ShownNumbers().back(), 1201);
}

// The command list takes the height and width gained or lost; below five lines the client area scrolls and
// every control can still be reached.
TEST(View, ResizingGivesTheCommandListTheDifference) {
    ViewHarness h;
    h.ShowActive();
    auto* commands = h.Find<QPlainTextEdit>("CommandList");
    const int lineHeight = commands->fontMetrics().lineSpacing();
    const struct {
        QSize Client;
        bool Scrolls;
    } cases[] = {{{1200, 900}, false},
                 {{1016, 600}, false},
                 {{1016, 734}, false},
                 {{900, 500}, true},
                 {{640, 400}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Client.width()) + "x" + std::to_string(c.Client.height()));
        h.Window().resize(c.Client);
        QApplication::processEvents();
        QScrollArea* area = h.Window().ClientArea();
        EXPECT_EQ(area->horizontalScrollBar()->isVisible() || area->verticalScrollBar()->isVisible(),
                  c.Scrolls);
        const QWidget* client = area->widget();
        EXPECT_EQ(commands->width(), client->width());
        EXPECT_EQ(commands->y() + commands->height() + 41, client->height());
        EXPECT_GE(commands->viewport()->height(), 5 * lineHeight);
        if (!c.Scrolls) {
            EXPECT_EQ(commands->height(), 250 + c.Client.height() - 734);
        }
        // Scrolled into view, the Download button lies inside the visible part of the client area.
        auto* download = h.Find<QWidget>("btnDownload");
        area->ensureWidgetVisible(download);
        const QRect shown(download->mapTo(area->viewport(), QPoint(0, 0)), download->size());
        EXPECT_TRUE(area->viewport()->rect().contains(shown));
    }
}

// Run as its own test with a 1366x768 screen at 125 % (see CMakeLists.txt): the window starts on screen,
// fitted to it, and the Download button takes a click.
TEST(SmallScreen, WindowFitsAndDownloadCanBeClicked) {
    if (std::getenv("ZELO_SMALL_SCREEN") == nullptr)
        GTEST_SKIP() << "needs the small screen of the gui.small_screen test";
    ViewHarness h("[SerialPort]\r\nDevice=NOPORT\r\nBaudrate=19200\r\n");
    h.ShowActive();
    const QRect screen = h.Window().screen()->availableGeometry();
    // 1366x768 device pixels at 125 %: lower than the window's design height.
    EXPECT_NEAR(screen.width(), 1093, 1);
    EXPECT_NEAR(screen.height(), 614, 1);
    EXPECT_TRUE(screen.contains(h.Window().frameGeometry())) << h.Window().frameGeometry().height();
    auto* download = h.Find<QWidget>("btnDownload");
    const QRect global(download->mapToGlobal(QPoint(0, 0)), download->size());
    EXPECT_TRUE(screen.contains(global));
    EXPECT_FALSE(download->visibleRegion().isEmpty());
    h.Click("btnDownload");
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Boxes.Boxes[0].Text, "Can't open NOPORT!");
}

// An event handler that throws outside the window's own guard: the application shows the error and goes on.
// The texts of other kinds of errors are the standard display's, tested with the handler guard.
class Throwing : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        throw Exception("Broken handler");
    }
};

TEST(View, ExceptionsEscapingEventsAreShownAndTheProgramGoesOn) {
    ScriptedDialogs boxes;
    ZeloApplication::Instance()->SetDialogs(&boxes);
    Throwing receiver;
    for (int i = 1; i <= 2; ++i) {
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &event);
        ASSERT_EQ(boxes.Boxes.size(), static_cast<std::size_t>(i));
        EXPECT_EQ(boxes.Boxes.back().Text, "Broken handler.");
        EXPECT_EQ(boxes.Boxes.back().Title, "ZELO-EIB-ASCII Configurator");
    }
    ZeloApplication::Instance()->SetDialogs(nullptr);
}

// Texts from files and from the gateway are shown as they are: a box never reads them as rich text. Add
// all's question has its four buttons.
TEST(View, BoxesShowPlainTextAndTheirButtons) {
    QtDialogs dialogs;
    const struct {
        int Flags;
        std::vector<QMessageBox::StandardButton> Buttons;
        QMessageBox::StandardButton Default; // what Return presses
    } cases[] = {
        {box::Ok | box::IconError, {QMessageBox::Ok}, QMessageBox::Ok},
        {box::YesNo | box::IconQuestion, {QMessageBox::Yes, QMessageBox::No}, QMessageBox::Yes},
        {box::YesNo | box::DefaultNo, {QMessageBox::Yes, QMessageBox::No}, QMessageBox::No},
        {box::YesNoCancel, {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}, QMessageBox::Yes},
        {box::YesNoToAll | box::DefaultNo,
         {QMessageBox::Yes, QMessageBox::YesToAll, QMessageBox::No, QMessageBox::NoToAll},
         QMessageBox::No},
    };
    for (const auto& c : cases) {
        const auto shown =
            dialogs.MakeBox("Error \"<b>x</b> & <i\" occured", "t", c.Flags, "<a href=x>d</a>");
        EXPECT_EQ(shown->textFormat(), Qt::PlainText);
        EXPECT_EQ(Text(shown->text()), "Error \"<b>x</b> & <i\" occured");
        QMessageBox::StandardButtons expected;
        for (const QMessageBox::StandardButton button : c.Buttons)
            expected |= button;
        EXPECT_EQ(shown->standardButtons(), expected) << c.Flags;
        EXPECT_EQ(shown->defaultButton(), shown->button(c.Default)) << c.Flags;
        // The detail goes behind the details button, as plain text.
        EXPECT_EQ(Text(shown->detailedText()), "<a href=x>d</a>");
    }
    const struct {
        QMessageBox::StandardButton Button;
        int Answer;
    } answers[] = {{QMessageBox::Yes, box::IdYes},           {QMessageBox::No, box::IdNo},
                   {QMessageBox::YesToAll, box::IdYesToAll}, {QMessageBox::NoToAll, box::IdNoToAll},
                   {QMessageBox::Cancel, box::IdCancel},     {QMessageBox::Ok, box::IdOk}};
    for (const auto& a : answers)
        EXPECT_EQ(QtDialogs::Answer(a.Button), a.Answer);
    // The window's own labels are plain text too.
    ViewHarness h;
    for (QLabel* label : h.Window().findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << Text(label->objectName());
}

TEST(View, FileFilterForTheQtDialog) {
    const struct {
        std::string Filter, Qt;
    } cases[] = {{"CSV File (*.csv)|*.csv", "CSV File (*.csv)"},
                 {"CSV File (*.csv)|*.csv|All files (*.*)|*.*", "CSV File (*.csv);;All files (*.*)"},
                 {"Text|*.txt;*.log", "Text (*.txt *.log)"},
                 {ImportOpenFilter,
                  "ETS files (*.csv *.xml *.esf *.knxproj);;ETS export (*.csv *.xml *.esf);;ETS "
                  "project (*.knxproj);;All files (*)"}};
    for (const auto& c : cases)
        EXPECT_EQ(QtFileFilter(c.Filter), c.Qt);
    const struct {
        std::string Filter, Extension;
    } extensions[] = {{"Command list (*.txt)|*.txt|All files (*.*)|*.*", "txt"},
                      {"All files (*.*)|*.*", ""},
                      {"Text|*.log;*.txt", "log"},
                      {"broken", ""}};
    for (const auto& e : extensions)
        EXPECT_EQ(FirstExtension(e.Filter), e.Extension) << e.Filter;
}

// The program itself: a settings file it cannot read ends it with an exit code that says so; a file named
// on the command line is opened at start. (Last in this file: from here on SIGINT and SIGTERM are caught.)
TEST(Program, ExitCodeAndTheFileNamedAtStart) {
    TempDir dir;
    ScriptedDialogs boxes;
    ZeloApplication::Instance()->SetDialogs(&boxes);
    const std::string folder = dir.File("settings-folder");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(RunConfigurator(boxes, folder, {}), 1);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text, "Can't read " + folder + ": Is a directory.");
    EXPECT_EQ(boxes.Boxes[0].Title, "ZELO-EIB-ASCII Configurator");

    const std::string list = dir.Write("start.txt", "#DG1/2/3=BIT;RW\n");
    std::vector<std::string> seen;
    QTimer::singleShot(0, [&seen] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<QtMainWindow*>(top)) {
                seen = window->Logic().Document().Lines();
                QTest::mouseClick(window->Control(layout::ControlId::btnExit), Qt::LeftButton);
            }
    });
    EXPECT_EQ(RunConfigurator(boxes, dir.File("zelo.ini"), {list}), 0);
    EXPECT_EQ(seen, Lines{"#DG1/2/3=BIT;RW"});
    EXPECT_EQ(boxes.Boxes.size(), 1u);
    ZeloApplication::Instance()->SetDialogs(nullptr);
}

// SIGTERM is heard through the event loop like the close box, but cannot ask: the unsaved list goes to the
// recovery file, the settings are written, the loop ends.
TEST(Program, TerminationSignalKeepsTheUnsavedList) {
    os::CatchTerminationRequests();
    ViewHarness h;
    h.ShowActive();
    h.Enter("txtPhyAdr", QStringLiteral("1.1.7"));
    ASSERT_TRUE(h.Logic().Document().Modified());
    const std::string recovery = RecoveryFileName(h.SettingsPath);
    ::raise(SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&recovery] { return std::filesystem::exists(recovery); }, 10000));
    EXPECT_EQ(ReadFileBytes(recovery), "#SETUP=1.1.7;OFF;OFF;OFF\n");
    EXPECT_EQ(ReadFileBytes(h.SettingsPath), "[SerialPort]\r\nDevice=COM1\r\nBaudrate=19200\r\n\r\n");
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    // The notice is taken: a second window does not hear the same request again.
    std::filesystem::remove(recovery);
    ViewHarness next;
    QApplication::processEvents();
    EXPECT_FALSE(std::filesystem::exists(RecoveryFileName(next.SettingsPath)));
}

// Runs `answer` on the application's modal dialog once its event loop runs it; gives up after many turns
// of the loop, so a dialog that never comes fails the test instead of blocking it.
void AnswerModal(std::function<void(QWidget*)> answer, int turns = 1000) {
    QTimer::singleShot(0, [answer = std::move(answer), turns] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            answer(dialog);
        else if (turns > 0)
            AnswerModal(answer, turns - 1);
        else
            ADD_FAILURE() << "no modal dialog came";
    });
}

TEST(View, PasswordPromptIsMaskedPlainAndAnswered) {
    const struct {
        const char* Name;
        QString Typed;
        bool Accept; // Enter, else Escape
        std::optional<std::string> Answer;
    } rows[] = {
        {"typed and Enter", QStringLiteral("test"), true, "test"},
        {"not ASCII", QStringLiteral("Gr\u00FC\u00DFe \u20AC"), true,
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC"},
        {"empty", QString(), true, ""},
        {"Escape", QStringLiteral("secret"), false, std::nullopt},
    };
    // The prompt may carry a file's name: it is never read as rich text.
    const std::string prompt = "This project is protected by a password.\n<b>P-0001</b>.knxproj";
    QtDialogs dialogs;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        QString title;
        std::vector<QString> labels;
        AnswerModal([&](QWidget* dialog) {
            title = dialog->windowTitle();
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                if (label->textFormat() == Qt::PlainText)
                    labels.push_back(label->text());
            auto* field = dialog->findChild<QLineEdit*>(QLatin1String(PasswordFieldName));
            if (field == nullptr) {
                ADD_FAILURE() << "no password field";
                dialog->close();
                return;
            }
            echo = field->echoMode();
            // As a key press that brings text (keyClicks takes only ASCII).
            if (!row.Typed.isEmpty())
                QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, row.Typed, Qt::NoModifier);
            QTest::keyClick(field, row.Accept ? Qt::Key_Return : Qt::Key_Escape);
        });
        EXPECT_EQ(dialogs.AskPassword(prompt, "Project password"), row.Answer);
        EXPECT_EQ(echo, QLineEdit::Password);
        EXPECT_EQ(Text(title), "Project password");
        EXPECT_EQ(labels, std::vector<QString>{QString::fromStdString(prompt)});
    }
}

// A termination closes the open box (Cancel, else No, else OK) and lets no later one wait; a watchdog closes
// a box left open and fails the test.
TEST(View, BoxesOpenAtATerminationAreClosed) {
    for (const int flags : {box::Ok, box::YesNo | box::DefaultNo, box::YesNoCancel, box::YesNoToAll}) {
        QtDialogs dialogs;
        bool watchdog = false;
        AnswerModal([&dialogs](QWidget*) { dialogs.EndQuestions(); });
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [&watchdog] {
            if (auto* left = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                watchdog = (left->reject(), true);
        });
        guard.start(5000);
        EXPECT_EQ(dialogs.MessageBox("Error", "t", flags), box::EndingAnswer(flags));
        EXPECT_EQ(dialogs.MessageBox("Again?", "t", flags), box::EndingAnswer(flags));
        EXPECT_EQ(dialogs.AskPassword("p", "t"), std::nullopt);
        EXPECT_FALSE(watchdog) << flags;
    }
}

} // namespace

// The monitor window through the Qt view: Monitor... opens it on the link, its timer shows the simulator's
// lines with the names of the last import, and typing into its filter reaches its logic. With
// ZELO_MONITOR_SCREENSHOT set, the window is saved there as a picture (scripts/screenshot).
TEST(View, MonitorShowsTheGatewaysLinesWithNames) {
    const Watchdog watchdog(60);
    sim::SimOptions options;
    options.BusRate = 40;
    sim::GatewaySim gateway(options);
    const int port = gateway.ListenTcp(0);
    gateway.Start();
    ViewHarness h("[SerialPort]\r\nDevice=TCP/IP\r\nHost=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\n");
    h.ShowActive();
    h.Find<QPlainTextEdit>("CommandList")
        ->setPlainText(
            QStringLiteral("#SETUP=1.1.250;ON;OFF;OFF\n#DG1/2/3-1/2/5=BIT;RW\n#DG3/1/0=FLOAT;R\n"));
    h.Click("btnDownload");
    ASSERT_EQ(gateway.Configuration().size(), 3u);
    h.Logic().FilesDropped({h.Dir.Write("names.csv", "Group name;Address;DPT\nKitchen light;1/2/3;1.001\n"
                                                     "Hall light;1/2/4;1.001\nStairs light;1/2/5;1.001\n"
                                                     "Outside temperature;3/1/0;9.001\n")});
    h.Logic().btnAbortClick();

    h.Click("btnMonitor");
    auto* monitor = h.Window().findChild<QWidget*>(QStringLiteral("winMonitor"));
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(monitor->isVisible());
    auto* lines = monitor->findChild<QPlainTextEdit*>(QStringLiteral("lstLines"));
    ASSERT_TRUE(QTest::qWaitFor([lines] { return lines->blockCount() >= 12; }, 20000));
    const QString text = lines->toPlainText();
    for (const char* named :
         {"1/2/3 [Kitchen light] W", "1/2/4 [Hall light] W", "3/1/0 [Outside temperature] W"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(named))) << named;
    EXPECT_TRUE(
        monitor->findChild<QLabel*>(QStringLiteral("labCount"))->text().endsWith(QStringLiteral(" lines")));

    QTest::keyClicks(monitor->findChild<QLineEdit*>(QStringLiteral("txtFilter")), QStringLiteral("hall"));
    const QStringList filtered = lines->toPlainText().split(QLatin1Char('\n'));
    EXPECT_FALSE(filtered.isEmpty());
    for (const QString& line : filtered)
        EXPECT_TRUE(line.contains(QStringLiteral("[Hall light]"))) << Text(line);
    if (const char* picture = std::getenv("ZELO_MONITOR_SCREENSHOT")) {
        auto* filter = monitor->findChild<QLineEdit*>(QStringLiteral("txtFilter"));
        filter->selectAll();
        QTest::keyClick(filter, Qt::Key_Backspace);
        QTest::qWait(1500);
        EXPECT_TRUE(monitor->grab().save(QString::fromLocal8Bit(picture)));
    }
    monitor->close();
    EXPECT_FALSE(h.Logic().Converter->IsOpen());
}
