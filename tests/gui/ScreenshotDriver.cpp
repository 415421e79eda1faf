// Takes the README's screenshot: the real window on an X display, a few ranges added through its controls and
// a download into the gateway simulator, then a capture of the screen with ImageMagick's import.
// Usage: gui_screenshot OUTPUT.png
#include "sim/GatewaySim.h"
#include "version/VersionInfo.h"
#include "window/Catalogue.h"
#include "window/qt/CheckList.h"
#include "window/qt/QtMainWindow.h"
#include "window/qt/ZeloApplication.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

// Any box here is a failure of the run: say so and answer No. The list is saved under the name offered, in
// the folder given.
class ReportingDialogs : public zelo::Dialogs {
public:
    int MessageBox(const std::string& text, const std::string& title, int, const std::string&) override {
        std::fprintf(stderr, "box: %s: %s\n", title.c_str(), text.c_str());
        Failed = true;
        return zelo::box::IdNo;
    }
    std::optional<std::string> OpenFile(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> SaveFile(const std::string&, const std::string&, const std::string&) override {
        return Folder + "/gateway.txt";
    }
    std::string Folder;
    std::optional<std::string> AskPassword(const std::string& prompt, const std::string&) override {
        std::fprintf(stderr, "password prompt: %s\n", prompt.c_str());
        Failed = true;
        return std::nullopt;
    }
    bool Failed = false;
};

void Type(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
}

void Check(zelo::CheckList* list, int row) {
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualItemRect(list->item(row));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gui_screenshot OUTPUT.png\n");
        return 2;
    }
    zelo::ZeloApplication app(argc, argv);
    zelo::ReadVersionInfo();
    ReportingDialogs boxes;
    app.SetDialogs(&boxes);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/zelo-XXXXXX"));
    boxes.Folder = dir.path().toStdString();
    zelo::sim::GatewaySim gateway;
    const std::string link = QDir(dir.path()).filePath("zelo-gateway").toStdString();
    gateway.OpenPty(link);
    gateway.Start();
    const std::string settings = QDir(dir.path()).filePath("zelo.ini").toStdString();
    {
        QFile file(QString::fromStdString(settings));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(("[SerialPort]\r\nDevice=" + link + "\r\nBaudrate=19200\r\n").c_str());
    }

    zelo::QtMainWindow window(boxes, settings, [] { return std::vector<zelo::os::PortInfo>{}; });
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    if (!QTest::qWaitForWindowActive(&window))
        std::fprintf(stderr, "the window did not become active\n");
    using zelo::layout::ControlId;
    auto control = [&window](ControlId id) { return window.Control(id); };
    Type(static_cast<QLineEdit*>(control(ControlId::txtPhyAdr)), "1.1.250");
    QTest::mouseClick(control(ControlId::chkPrintSource), Qt::LeftButton);
    const struct {
        const char* Start;
        const char* End;
        int Type;
        int Access;
    } ranges[] = {{"0/0/0", "0/0/7", 1, 2}, {"1/0/0", "1/0/10", 11, 0}, {"2/1/0", "2/1/0", 12, 1}};
    for (const auto& range : ranges) {
        Type(static_cast<QLineEdit*>(control(ControlId::txtGrpAdrStart)), range.Start);
        Type(static_cast<QLineEdit*>(control(ControlId::txtGrpAdrEnd)), range.End);
        Check(static_cast<zelo::CheckList*>(control(ControlId::EibDptList)), range.Type);
        QTest::mouseClick(window.AccessTypeButtons()->button(range.Access), Qt::LeftButton);
        QTest::mouseClick(control(ControlId::btnAdd), Qt::LeftButton);
    }
    // Saved: the caption names the file.
    QTest::mouseClick(control(ControlId::btnSave), Qt::LeftButton);
    QTest::mouseClick(control(ControlId::btnDownload), Qt::LeftButton);
    auto* status = static_cast<QLabel*>(control(ControlId::labStatus));
    // In the language the window speaks.
    if (boxes.Failed || status->text() != QString::fromUtf8(zelo::Tr("Configuration loaded successfully!"))) {
        std::fprintf(stderr, "download failed: %s\n", status->text().toLocal8Bit().constData());
        return 1;
    }
    QTest::qWait(300); // let the X server show the last paint before the capture
    const QRect frame = window.frameGeometry();
    const QString crop =
        QStringLiteral("%1x%2+%3+%4").arg(frame.width()).arg(frame.height()).arg(frame.x()).arg(frame.y());
    const int rc = QProcess::execute(
        QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                                   crop, QStringLiteral("+repage"), QString::fromLocal8Bit(argv[1])});
    std::printf("configuration in the gateway: %zu lines\n", gateway.Configuration().size());
    return rc == 0 ? 0 : 1;
}
