// The Qt view's own part: its controls by name with their texts and places, the user's events reaching the
// window logic, the focus rule of the address fields, a download through the view, and resizing.
#include "GuiSupport.h"
#include "model/Address.h"
#include "model/Error.h"
#include "sim/GatewaySim.h"
#include "version/VersionInfo.h"
#include "window/qt/CheckListBox.h"
#include "window/qt/QtDialogs.h"
#include "window/qt/ZeloApplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
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
    EXPECT_EQ(h.Find<TCheckListBox>("EibDptList")->count(), 17);
    EXPECT_EQ(h.Window().AccessTypeButtons()->checkedId(), 2);
    for (const char* name : {"btnIgnore", "btnAbort", "btnAddAll"})
        EXPECT_FALSE(h.Find<QWidget>(name)->isEnabled()) << name;
    EXPECT_EQ(h.Lines(), Lines{SetupLine0});
}

TEST(View, StartsAtTheDesignSizeWithTheBands) {
    ViewHarness h;
    h.ShowActive();
    QtMainWindow& w = h.Window();
    EXPECT_EQ(w.size(), QSize(1016, 734));
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    const struct {
        const char* Name;
        int Height;
    } bands[] = {{"DeviceSetupCaption", 33},     {"DeviceSetupContainer", 72}, {"GroupAddressCaption", 33},
                 {"GroupAddressContainer", 183}, {"ProgressCaption", 33},      {"ProgressContainer", 56},
                 {"CommandListCaption", 33},     {"CommandList", 250},         {"ButtonContainer", 41}};
    int top = 0;
    for (const auto& band : bands) {
        EXPECT_EQ(h.Find<QWidget>(band.Name)->geometry(), QRect(0, top, 1016, band.Height)) << band.Name;
        top += band.Height;
    }
    EXPECT_EQ(h.Find<QWidget>("ProgressBar")->size(), QSize(1001, 17));
    EXPECT_EQ(h.Find<QWidget>("EibDptList")->size(), QSize(529, 123));
    EXPECT_EQ(h.Find<QWidget>("txtGrpAdrStart")->width(), 153);
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
    auto* list = h.Find<TCheckListBox>("EibDptList");
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

// A device path is shown whole: the list widens and the baud rate list moves along, still inside the window.
TEST(View, DeviceListWidensForALongPath) {
    TempDir dir;
    const std::string longPath = dir.Write("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "");
    const struct {
        std::string Device;
        int Width;
    } cases[] = {{"COM3", 97}, {longPath, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Device);
        ViewHarness h("[SerialPort]\r\nDevice=" + c.Device + "\r\n");
        h.ShowActive();
        auto* device = h.Find<QComboBox>("cmbDevice");
        auto* baud = h.Find<QComboBox>("cmbBaudrate");
        EXPECT_EQ(Text(device->currentText()), c.Device);
        EXPECT_GT(device->width(), device->fontMetrics().horizontalAdvance(device->currentText()));
        if (c.Width > 0) {
            EXPECT_EQ(device->width(), c.Width);
        }
        EXPECT_EQ(h.Find<QWidget>("Label7")->x(), device->geometry().right() + 1 + 24);
        EXPECT_LE(baud->geometry().right(), 1016 - 8);
    }
}

TEST(View, TabOrderStartsAtThePhysicalAddress) {
    ViewHarness h;
    h.ShowActive();
    EXPECT_EQ(QApplication::focusWidget(), h.Find<QWidget>("txtPhyAdr"));
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
             auto* list = h.Find<TCheckListBox>("EibDptList");
             return !list->Checked(3) && list->Checked(5) && list->currentRow() == 5;
         }},
        {"the space key on the current type",
         [&h] {
             auto* list = h.Find<TCheckListBox>("EibDptList");
             list->setCurrentRow(1);
             list->setFocus();
             QTest::keyClick(list, Qt::Key_Space);
         },
         [&h] {
             auto* list = h.Find<TCheckListBox>("EibDptList");
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
        {"Exit clicked",
         [&h] {
             QTimer::singleShot(0, &h.Window(), [&h] { h.Click("btnExit"); });
             QApplication::exec();
         },
         [] { return true; }},
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
};

class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(ViewHarness& h) : H(h) {
        h.Find<QProgressBar>("ProgressBar")->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && H.Logic().DownloadRunning()) {
            const QCursor* cursor = QApplication::overrideCursor();
            bool enabled = false;
            for (const char* area :
                 {"DeviceSetupContainer", "GroupAddressContainer", "CommandList", "ButtonContainer"})
                enabled = enabled || H.Find<QWidget>(area)->isEnabled();
            Frames.push_back({Text(H.Find<QLabel>("labStatus")->text()),
                              static_cast<QProgressBar*>(watched)->value(), enabled,
                              cursor != nullptr && cursor->shape() == Qt::WaitCursor});
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
    h.Click("btnDownload");
    EXPECT_EQ(gateway.Configuration(), Lines{"#SETUP=1.1.250;OFF;OFF;OFF"});
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    EXPECT_FALSE(closedAtOnce);
    ASSERT_FALSE(recorder.Frames.empty());
    for (const Frame& frame : recorder.Frames) {
        EXPECT_FALSE(frame.AreasEnabled);
        EXPECT_TRUE(frame.WaitCursor);
    }
    EXPECT_EQ(recorder.Frames.back().Status, "Configuration loaded successfully!");
    EXPECT_EQ(recorder.Frames.back().Position, 2);
    EXPECT_EQ(Text(h.Find<QProgressBar>("ProgressBar")->text()), "100%");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(h.Window().isVisible());
    for (const char* area :
         {"DeviceSetupContainer", "GroupAddressContainer", "CommandList", "ButtonContainer"})
        EXPECT_TRUE(h.Find<QWidget>(area)->isEnabled()) << area;
    EXPECT_FALSE(h.Find<QWidget>("btnIgnore")->isEnabled());
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
class Throwing : public QObject {
public:
    int Kind = 0;
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        if (Kind == 0)
            throw Exception("Broken handler");
        if (Kind == 1)
            throw std::out_of_range("index");
        throw 42;
    }
};

TEST(View, ExceptionsEscapingEventsAreShownAndTheProgramGoesOn) {
    ScriptedDialogs boxes;
    ZeloApplication::Instance()->SetDialogs(&boxes);
    Throwing receiver;
    const std::string shown[] = {"Broken handler.", "index.", ""};
    for (int kind = 0; kind < 3; ++kind) {
        receiver.Kind = kind;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &event);
        ASSERT_EQ(boxes.Boxes.size(), static_cast<std::size_t>(kind + 1));
        EXPECT_EQ(boxes.Boxes.back().Text, shown[kind]);
        EXPECT_EQ(boxes.Boxes.back().Title, "ZELO-EIB-ASCII Configurator");
    }
    ZeloApplication::Instance()->SetDialogs(nullptr);
}

TEST(View, FileFilterForTheQtDialog) {
    const struct {
        std::string Filter, Qt;
    } cases[] = {
        {"CSV File (*.csv)|*.csv", "CSV File (*.csv)"},
        {"CSV File (*.csv)|*.csv|All files (*.*)|*.*", "CSV File (*.csv);;All files (*.*)"},
        {"Text|*.txt;*.log", "Text (*.txt *.log)"},
        {ImportOpenFilter, "ETS export (*.csv *.xml *.esf);;ETS project (*.knxproj);;All files (*)"}};
    for (const auto& c : cases)
        EXPECT_EQ(QtFileFilter(c.Filter), c.Qt);
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

} // namespace
