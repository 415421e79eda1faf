// Downloads through the Download button into the gateway simulator on a pseudo-terminal.
#include "GuiSupport.h"
#include "sim/GatewaySim.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

using Lines = std::vector<std::string>;

// What the window showed each time the driver had the gauge painted.
struct Frame {
    std::string Status;
    int Position = 0;
    int Maximum = 0;
    bool AreasEnabled = false;
    bool WaitCursor = false;
    bool Visible = false;
};

class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(TwinMain& window) : Window(window) {
        Find<QProgressBar>(window, "ProgressBar")->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && Window.DownloadRunning()) {
            auto* bar = static_cast<QProgressBar*>(watched);
            const QCursor* cursor = QApplication::overrideCursor();
            Frames.push_back(
                {Find<QLabel>(Window, "labStatus")->text().toStdString(), bar->value(), bar->maximum(),
                 Window.DeviceSetupContainer->isEnabled() || Window.GroupAddressContainer->isEnabled() ||
                     Window.CommandList->isEnabled() || Window.ButtonContainer->isEnabled(),
                 cursor != nullptr && cursor->shape() == Qt::WaitCursor, Window.isVisible()});
            if (OnFirstFrame) {
                auto action = std::move(OnFirstFrame);
                OnFirstFrame = nullptr;
                action();
            }
        }
        return false;
    }
    TwinMain& Window;
    std::vector<Frame> Frames;
    std::function<void()> OnFirstFrame;
};

sim::SimOptions Options(int refuseLine, const std::string& refuseText, int silentAfter = -1,
                        bool crLf = false) {
    sim::SimOptions options;
    options.RefuseLine = refuseLine;
    options.RefuseText = refuseText;
    options.SilentAfter = silentAfter;
    options.CrLf = crLf;
    return options;
}

std::string Settings(const std::string& device) {
    return "[SerialPort]\r\nDevice=" + device + "\r\nBaudrate=19200\r\n";
}

void ExpectIdle(WindowHarness& h) {
    TwinMain& w = h.Window();
    EXPECT_FALSE(w.Converter->IsOpen());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    for (QWidget* area : {w.DeviceSetupContainer, w.GroupAddressContainer,
                          static_cast<QWidget*>(w.CommandList), w.ButtonContainer})
        EXPECT_TRUE(area->isEnabled()) << area->objectName().toStdString();
    // Each control has its own state back: the import's buttons stay disabled.
    EXPECT_FALSE(Find<QPushButton>(w, "btnIgnore")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(w, "btnAdd")->isEnabled());
}

TEST(Download, IntoTheSimulator) {
    sim::GatewaySim gateway;
    const std::string pty = gateway.OpenPty();
    gateway.Start();
    WindowHarness h(Settings(pty));
    h.ShowActive();
    EXPECT_EQ(h.Window().findChild<QComboBox*>("cmbDevice")->currentText().toStdString(), pty);
    h.AddRange("1/0/0", "1/0/10", 11);
    h.AddRange("2/1/0", "2/1/0", 1);
    PaintRecorder recorder(h.Window());
    // A physical address typed but not left: the click on Download moves the focus and rebuilds the setup
    // line.
    auto* phys = Find<QLineEdit>(h.Window(), "txtPhyAdr");
    phys->setFocus();
    phys->setText("1.1.250");
    QTest::mouseClick(Find<QPushButton>(h.Window(), "btnDownload"), Qt::LeftButton);

    const Lines sent = {"#SETUP=1.1.250;OFF;OFF;OFF", "#DG1/0/0-1/0/10=VALUE;RW", "#DG2/1/0=BIT;RW"};
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    EXPECT_EQ(gateway.Configuration(), sent);
    EXPECT_EQ(Find<QLabel>(h.Window(), "labStatus")->text().toStdString(),
              "Configuration loaded successfully!");
    auto* gauge = Find<QProgressBar>(h.Window(), "ProgressBar");
    EXPECT_EQ(gauge->maximum(), 4);
    EXPECT_EQ(gauge->value(), 4);
    EXPECT_EQ(gauge->text().toStdString(), "100%");
    ExpectIdle(h);

    // The label and gauge moved line by line while the areas were locked and the hourglass showed.
    std::vector<std::pair<std::string, int>> steps;
    for (const Frame& frame : recorder.Frames) {
        EXPECT_FALSE(frame.AreasEnabled);
        EXPECT_TRUE(frame.WaitCursor);
        EXPECT_EQ(frame.Maximum, 4);
        if (steps.empty() || steps.back() != std::make_pair(frame.Status, frame.Position))
            steps.emplace_back(frame.Status, frame.Position);
    }
    const std::vector<std::pair<std::string, int>> expected = {
        {"Erasing old configuration...", 0}, {"Loading new configuration...", 1},
        {"Loading new configuration...", 2}, {"Loading new configuration...", 3},
        {"Loading new configuration...", 4}, {"Configuration loaded successfully!", 4}};
    EXPECT_EQ(steps, expected);

    // A second download opens and closes the link again.
    recorder.Frames.clear();
    QTest::mouseClick(Find<QPushButton>(h.Window(), "btnDownload"), Qt::LeftButton);
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    EXPECT_EQ(gateway.Configuration(), sent);
    EXPECT_FALSE(recorder.Frames.empty());
    ExpectIdle(h);
}

TEST(Download, GatewayRefusals) {
    const struct {
        sim::SimOptions Options;
        std::string Message;
        std::string Status;
        int Position;
    } cases[] = {
        {Options(2, "ERR"),
         "Error \"ERR\" occured while configuring device!\nPlease check line 2 of configuration list!",
         "Failed to load new configuration!", 2},
        {Options(1, "Bad setup"),
         "Error \"Bad setup\" occured while configuring device!\nPlease check line 1 of configuration list!",
         "Failed to load new configuration!", 1},
        {Options(0, {}, -1, true), "Error \"\nOk\" occured while erasing old configuration!",
         "Erasing old configuration...", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        sim::GatewaySim gateway(c.Options);
        const std::string pty = gateway.OpenPty();
        gateway.Start();
        WindowHarness h(Settings(pty));
        h.ShowActive();
        h.AddRange("1/0/0", "1/0/0", 1);
        QTest::mouseClick(Find<QPushButton>(h.Window(), "btnDownload"), Qt::LeftButton);
        ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
        EXPECT_EQ(h.Boxes.Boxes[0].Text, c.Message);
        EXPECT_EQ(h.Boxes.Boxes[0].Title, h.Window().windowTitle().toStdString());
        EXPECT_EQ(h.Boxes.Boxes[0].Flags, 16);
        EXPECT_EQ(Find<QLabel>(h.Window(), "labStatus")->text().toStdString(), c.Status);
        EXPECT_EQ(Find<QProgressBar>(h.Window(), "ProgressBar")->value(), c.Position);
        ExpectIdle(h);
    }
}

TEST(Download, SilentGateway_WaitsForTimeout) {
    sim::GatewaySim gateway(Options(0, {}, 3));
    const std::string pty = gateway.OpenPty();
    gateway.Start();
    WindowHarness h(Settings(pty));
    h.ShowActive();
    h.AddRange("1/0/0", "1/0/0", 1);
    h.Window().Converter->Timeout = 150; // the line answer's wait, kept short
    QTest::mouseClick(Find<QPushButton>(h.Window(), "btnDownload"), Qt::LeftButton);
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Boxes.Boxes[0].Text, "Error \"No answer received\" occured while configuring device!\nPlease "
                                     "check line 2 of configuration list!");
    EXPECT_EQ(h.Boxes.Boxes[0].Flags, 16);
    EXPECT_EQ(gateway.Received(), (Lines{"#CG", "#CF", "#SETUP=15.15.255;OFF;OFF;OFF", "#DG1/0/0=BIT;RW"}));
    ExpectIdle(h);
}

TEST(Download, PortThatCannotBeOpened) {
    const struct {
        std::string Device;
        std::string Message;
        bool Reason;
    } cases[] = {
        {"/nonexistent/ttyZELO", "Can't open /nonexistent/ttyZELO!", true},
        {"", "Can't open !", false},
        {"NOPORT", "Can't open NOPORT!", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Device);
        WindowHarness h(Settings(c.Device));
        h.ShowActive();
        QTest::mouseClick(Find<QPushButton>(h.Window(), "btnDownload"), Qt::LeftButton);
        ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
        EXPECT_EQ(h.Boxes.Boxes[0].Text, c.Message);
        EXPECT_EQ(h.Boxes.Boxes[0].Title, h.Window().windowTitle().toStdString());
        EXPECT_EQ(h.Boxes.Boxes[0].Flags, 16);
        EXPECT_EQ(h.Boxes.Boxes[0].Detail, c.Reason ? "No such file or directory" : "");
        EXPECT_EQ(Find<QLabel>(h.Window(), "labStatus")->text().toStdString(), "Ready...");
        ExpectIdle(h);
    }
}

TEST(Download, DeviceAndBaudrateChoicesSetTheLink) {
    sim::GatewaySim first;
    sim::GatewaySim second;
    // Each pty gets a link name in the folder, so the window lists them and the user can pick one.
    WindowHarness h;
    h.ShowActive();
    const std::string firstLink = h.Dir.File("gw1");
    const std::string secondLink = h.Dir.File("gw2");
    first.OpenPty(firstLink);
    second.OpenPty(secondLink);
    first.Start();
    second.Start();
    h.Window().Converter->SetDevice(firstLink);
    QTest::mouseClick(Find<QPushButton>(h.Window(), "btnDownload"), Qt::LeftButton);
    EXPECT_EQ(first.Configuration().size(), 1u);
    auto* device = Find<QComboBox>(h.Window(), "cmbDevice");
    device->addItem(QString::fromStdString(secondLink));
    device->setCurrentIndex(device->count() - 1);
    EXPECT_EQ(h.Window().Converter->Device(), secondLink);
    auto* baud = Find<QComboBox>(h.Window(), "cmbBaudrate");
    baud->setCurrentIndex(baud->findText("57600"));
    EXPECT_EQ(h.Window().Converter->Baudrate(), 57600);
    QTest::mouseClick(Find<QPushButton>(h.Window(), "btnDownload"), Qt::LeftButton);
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    EXPECT_EQ(second.Configuration().size(), 1u);
    EXPECT_EQ(first.Received().size(), 3u);
    // A text that is no number gives 19200.
    baud->addItem("fast");
    baud->setCurrentIndex(baud->count() - 1);
    EXPECT_EQ(h.Window().Converter->Baudrate(), 19200);
}

// The close box during a download: the request waits until the download has ended, then the window goes.
TEST(Download, CloseRequestIsHeldUntilTheEnd) {
    sim::GatewaySim gateway;
    const std::string pty = gateway.OpenPty();
    gateway.Start();
    WindowHarness h(Settings(pty));
    h.ShowActive();
    PaintRecorder recorder(h.Window());
    recorder.OnFirstFrame = [&h] { EXPECT_FALSE(h.Window().close()); };
    QTest::mouseClick(Find<QPushButton>(h.Window(), "btnDownload"), Qt::LeftButton);
    EXPECT_EQ(gateway.Configuration(), Lines{"#SETUP=15.15.255;OFF;OFF;OFF"});
    ASSERT_FALSE(recorder.Frames.empty());
    EXPECT_TRUE(recorder.Frames.back().Visible);
    EXPECT_EQ(recorder.Frames.back().Status, "Configuration loaded successfully!");
    EXPECT_FALSE(h.Window().isVisible());
    EXPECT_TRUE(h.Boxes.Boxes.empty());
}

} // namespace
