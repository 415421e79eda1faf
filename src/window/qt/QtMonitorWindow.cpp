#include "window/qt/QtMonitorWindow.h"
#include "window/Catalogue.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

namespace zelo {

void QtLineView::AppendLines(const std::vector<std::string>& lines) {
    if (lines.empty())
        return;
    QPlainTextEdit* edit = Edit();
    QScrollBar* bar = edit->verticalScrollBar();
    // The newest stays in view only when the user has not scrolled away from it.
    const bool atEnd = bar->value() == bar->maximum();
    std::string text;
    for (const auto& line : lines) {
        if (Count_ > 0 || !text.empty())
            text += '\n';
        text += line;
    }
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    Count_ += static_cast<int>(lines.size());
    if (atEnd)
        bar->setValue(bar->maximum());
}

void QtLineView::RemoveFirstLines(int count) {
    if (count >= Count_) {
        ClearLines();
        return;
    }
    QTextCursor cursor(Edit()->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, count);
    cursor.removeSelectedText();
    Count_ -= count;
}

void QtLineView::ClearLines() {
    Edit()->clear();
    Count_ = 0;
}

std::string QtLineView::LineText(int index) const {
    return Edit()->document()->findBlockByNumber(index).text().toStdString();
}

QtMonitorWindow::QtMonitorWindow(Dialogs& dialogs, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("winMonitor"));
    auto* lines = new QPlainTextEdit(this);
    lines->setObjectName(QStringLiteral("lstLines"));
    lines->setReadOnly(true);
    // Nothing to undo in a view, and an undo stack would grow with every line.
    lines->setUndoRedoEnabled(false);
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* filter = new QLineEdit(this);
    filter->setObjectName(QStringLiteral("txtFilter"));
    filter->setPlaceholderText(QString::fromUtf8(Tr("Filter: text or group address")));
    auto* pause = new QCheckBox(QString::fromUtf8(Tr("&Pause")), this);
    pause->setObjectName(QStringLiteral("chkPause"));
    auto* clear = new QPushButton(QString::fromUtf8(Tr("&Clear")), this);
    clear->setObjectName(QStringLiteral("btnClear"));
    auto* saveLog = new QPushButton(QString::fromUtf8(Tr("&Save log...")), this);
    saveLog->setObjectName(QStringLiteral("btnSaveLog"));
    auto* names = new QPushButton(QString::fromUtf8(Tr("&Names...")), this);
    names->setObjectName(QStringLiteral("btnNames"));
    auto* count = new QLabel(this);
    count->setObjectName(QStringLiteral("labCount"));
    auto* status = new QLabel(this);
    status->setObjectName(QStringLiteral("labStatus"));
    Timer_ = new QTimer(this);
    Timer_->setInterval(MonitorTickMs);

    Lines_.Bind(lines);
    Filter_.Bind(filter);
    Pause_.Bind(pause);
    Clear_.Bind(clear);
    SaveLog_.Bind(saveLog);
    Names_.Bind(names);
    Count_.Bind(count);
    Status_.Bind(status);
    // In the order MonitorControls declares them.
    Logic_ = std::make_unique<MonitorWindow>(
        MonitorControls{this, &Lines_, &Filter_, &Pause_, &Clear_, &SaveLog_, &Names_, &Count_, &Status_},
        dialogs);

    auto forward = [this](MonitorWindow::Handler handler) {
        return [this, handler] { Logic_->Run(handler); };
    };
    connect(filter, &QLineEdit::textEdited, this, forward(&MonitorWindow::txtFilterChange));
    connect(pause, &QCheckBox::clicked, this, forward(&MonitorWindow::chkPauseClick));
    connect(clear, &QPushButton::clicked, this, forward(&MonitorWindow::btnClearClick));
    connect(saveLog, &QPushButton::clicked, this, forward(&MonitorWindow::btnSaveLogClick));
    connect(names, &QPushButton::clicked, this, forward(&MonitorWindow::btnNamesClick));
    connect(Timer_, &QTimer::timeout, this, forward(&MonitorWindow::Tick));
    resize(MonitorDesignSize.Width, MonitorDesignSize.Height);
    ApplyLayout();
}

QtMonitorWindow::~QtMonitorWindow() {
    Timer_->stop();
    Logic_.reset();
}

QWidget* QtMonitorWindow::Widget(const char* name) const {
    return findChild<QWidget*>(QString::fromLatin1(name));
}

void QtMonitorWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyLayout();
}

void QtMonitorWindow::closeEvent(QCloseEvent* event) {
    Logic_->Run(&MonitorWindow::FormClose);
    event->accept();
}

void QtMonitorWindow::Show() {
    show();
    raise();
    activateWindow();
}

void QtMonitorWindow::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void QtMonitorWindow::SetTicking(bool on) {
    if (on)
        Timer_->start();
    else
        Timer_->stop();
}

void QtMonitorWindow::ApplyLayout() {
    const MonitorLayout l = LayOutMonitor({width(), height()}, Widget("txtFilter")->sizeHint().height());
    const std::pair<const char*, layout::Rect> places[] = {
        {"txtFilter", l.Filter}, {"chkPause", l.Pause}, {"btnClear", l.Clear}, {"btnSaveLog", l.SaveLog},
        {"btnNames", l.Names},   {"lstLines", l.Lines}, {"labCount", l.Count}, {"labStatus", l.Status}};
    for (const auto& [name, r] : places)
        Widget(name)->setGeometry(r.X, r.Y, r.Width, r.Height);
}

} // namespace zelo
