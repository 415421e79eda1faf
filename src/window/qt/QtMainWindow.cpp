#include "window/qt/QtMainWindow.h"
#include "os/Signals.h"
#include "version/VersionInfo.h"
#include "window/qt/CheckListBox.h"
#include "window/qt/ComboBox.h"
#include "window/qt/CommandListEdit.h"
#include "window/qt/QtDialogs.h"
#include "window/qt/QtMonitorWindow.h"
#include "window/qt/ZeloApplication.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSocketNotifier>
#include <QStyle>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace zelo {

namespace {

using layout::ControlId;
using layout::ControlInfo;
using layout::ControlKind;

std::size_t Index(ControlId id) {
    return static_cast<std::size_t>(id);
}

QString Text(const ControlInfo& info) {
    return QString::fromUtf8(info.Text.data(), static_cast<qsizetype>(info.Text.size()));
}

// A black caption bar with white bold text.
QLabel* CaptionBar(QWidget* parent, const QString& text) {
    auto* bar = new QLabel(parent);
    bar->setTextFormat(Qt::PlainText);
    bar->setText(text);
    bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->setLineWidth(1);
    bar->setMargin(0);
    bar->setIndent(8);
    bar->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    bar->setPalette(palette);
    QFont font = bar->font();
    font.setBold(true);
    font.setPointSize(10);
    bar->setFont(font);
    return bar;
}

// Black on white, the percentage in the middle.
QProgressBar* Gauge(QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setOrientation(Qt::Horizontal);
    bar->setTextVisible(true);
    bar->setAlignment(Qt::AlignCenter);
    bar->setFormat(QStringLiteral("%p%"));
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    bar->setPalette(palette);
    return bar;
}

// The local files of a drag, in UTF-8; empty when it carries none.
std::vector<std::string> DroppedFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files.push_back(url.toLocalFile().toStdString());
    return files;
}

} // namespace

QtMainWindow::QtMainWindow(Dialogs& dialogs, const std::string& settingsFileName, PortLister listPorts,
                           QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("winMain"));
    setWindowTitle(QString::fromLatin1(layout::WindowCaption));
    // System menu, minimise and close; no maximise box. The border resizes.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    CreateControls();
    Logic_ = std::make_unique<TwinMain>(Interfaces(), dialogs, settingsFileName, std::move(listPorts));
    Logic_->MonitorView = [this, &dialogs] {
        if (!Monitor_)
            Monitor_ = std::make_unique<QtMonitorWindow>(dialogs, this);
        return &Monitor_->Logic();
    };
    ConnectEvents();
    WatchTerminationRequests();

    // The start-up has filled the lists: now the texts can be measured and the controls placed.
    Metrics_ = Measure();
    const layout::Size minimum = layout::MinimumClientSize(Metrics_);
    Content_->setMinimumSize(minimum.Width, minimum.Height);
    resize(layout::DesignClientWidth, layout::DesignClientHeight);
    ApplyLayout();
    FitToScreen();
}

QtMainWindow::~QtMainWindow() {
    // FormDestroy runs while every control still exists.
    Logic_.reset();
    Monitor_.reset();
}

void QtMainWindow::CreateControls() {
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(0);
    Scroll_ = new QScrollArea(this);
    Scroll_->setObjectName(QStringLiteral("ClientArea"));
    Scroll_->setFrameShape(QFrame::NoFrame);
    Scroll_->setWidgetResizable(true);
    // Tab goes round the controls; the scrolled area itself takes no focus.
    Scroll_->setFocusPolicy(Qt::NoFocus);
    Content_ = new QWidget;
    Content_->setObjectName(QStringLiteral("Client"));
    Scroll_->setWidget(Content_);
    Content_->installEventFilter(this);
    frame->addWidget(Scroll_);
    AccessTypeButtons_ = new QButtonGroup(this);
    AccessTypeButtons_->setObjectName(QStringLiteral("AccessTypeButtons"));

    for (const ControlInfo& info : layout::Controls()) {
        QWidget* parent = info.Parent == layout::Client ? Content_ : Control(info.Parent);
        const QString text = Text(info);
        QWidget* widget = nullptr;
        switch (info.Kind) {
        case ControlKind::CaptionBar:
            widget = CaptionBar(parent, text);
            break;
        case ControlKind::Panel:
            widget = new QWidget(parent);
            break;
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setText(text);
            widget = label;
            break;
        }
        case ControlKind::StatusLabel: {
            // Text from files and from the gateway shows as it is, never as rich text.
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            widget = label;
            break;
        }
        case ControlKind::EditField:
            widget = new QLineEdit(parent);
            break;
        case ControlKind::ComboBox: {
            auto* box = new TComboBox(parent);
            // A device name may be typed in, taken as it is when the field is left: no completion that
            // would turn COM1 into COM10, no entry added.
            box->setEditable(info.Id == ControlId::cmbDevice);
            if (box->isEditable()) {
                box->setCompleter(nullptr);
                box->setInsertPolicy(QComboBox::NoInsert);
            }
            box->setMaxVisibleItems(16);
            widget = box;
            break;
        }
        case ControlKind::CheckBox:
            widget = new QCheckBox(text, parent);
            break;
        case ControlKind::RadioGroup:
            widget = new QGroupBox(text, parent);
            break;
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(text, parent);
            AccessTypeButtons_->addButton(radio, static_cast<int>(info.Id) -
                                                     static_cast<int>(ControlId::grpAccessType0));
            widget = radio;
            break;
        }
        case ControlKind::CheckList:
            widget = new TCheckListBox(parent);
            break;
        case ControlKind::Button:
            widget = new QPushButton(text, parent);
            break;
        case ControlKind::Gauge:
            widget = Gauge(parent);
            break;
        case ControlKind::CommandList:
            widget = new TCommandListEdit(parent);
            break;
        }
        widget->setObjectName(
            QString::fromLatin1(info.Name.data(), static_cast<qsizetype>(info.Name.size())));
        Widgets_[Index(info.Id)] = widget;
    }
    static_cast<QLabel*>(Control(ControlId::Label3))->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    const auto order = layout::TabOrder();
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(Control(order[i]), Control(order[i + 1]));
}

WindowControls QtMainWindow::Interfaces() {
    using enum ControlId;
    Form_.Bind(this);
    const ControlId containers[] = {DeviceSetupContainer, GroupAddressContainer, ButtonContainer};
    for (std::size_t i = 0; i < std::size(containers); ++i)
        Containers_[i].Bind(Control(containers[i]));
    const ControlId buttons[] = {btnAdd,  btnAddAll, btnIgnore, btnImport, btnAbort,  btnDownload,
                                 btnExit, btnStop,   btnOpen,   btnSave,   btnMonitor};
    for (std::size_t i = 0; i < std::size(buttons); ++i)
        Buttons_[i].Bind(Control(buttons[i]));
    Device_.Bind(Control(cmbDevice));
    Baudrate_.Bind(Control(cmbBaudrate));
    PhysicalAddress_.Bind(Control(txtPhyAdr));
    const ControlId options[] = {chkPrintSource, chkPrintHex, chkFullDuplex};
    for (std::size_t i = 0; i < std::size(options); ++i)
        Options_[i].Bind(Control(options[i]));
    Start_.Bind(Control(txtGrpAdrStart));
    End_.Bind(Control(txtGrpAdrEnd));
    Access_.Bind(Control(grpAccessType));
    Access_.BindButtons(AccessTypeButtons_);
    Types_.Bind(Control(EibDptList));
    Commands_.Bind(Control(CommandList));
    Status_.Bind(static_cast<QLabel*>(Control(labStatus)));
    Gauge_.Bind(static_cast<QProgressBar*>(Control(ProgressBar)));

    const ControlId labels[] = {labHost, labPort};
    for (std::size_t i = 0; i < std::size(labels); ++i)
        TcpLabels_[i].Bind(Control(labels[i]));
    Host_.Bind(Control(txtHost));
    Port_.Bind(Control(txtPort));

    WindowControls c;
    c.winMain = &Form_;
    c.DeviceSetupContainer = &Containers_[0];
    c.GroupAddressContainer = &Containers_[1];
    c.ButtonContainer = &Containers_[2];
    c.CommandList = &Commands_;
    c.cmbDevice = &Device_;
    c.cmbBaudrate = &Baudrate_;
    c.txtPhyAdr = &PhysicalAddress_;
    c.chkPrintSource = &Options_[0];
    c.chkPrintHex = &Options_[1];
    c.chkFullDuplex = &Options_[2];
    c.labHost = &TcpLabels_[0];
    c.txtHost = &Host_;
    c.labPort = &TcpLabels_[1];
    c.txtPort = &Port_;
    c.txtGrpAdrStart = &Start_;
    c.txtGrpAdrEnd = &End_;
    c.grpAccessType = &Access_;
    c.EibDptList = &Types_;
    c.btnAdd = &Buttons_[0];
    c.btnAddAll = &Buttons_[1];
    c.btnIgnore = &Buttons_[2];
    c.btnImport = &Buttons_[3];
    c.btnAbort = &Buttons_[4];
    c.btnDownload = &Buttons_[5];
    c.btnExit = &Buttons_[6];
    c.btnStop = &Buttons_[7];
    c.btnOpen = &Buttons_[8];
    c.btnSave = &Buttons_[9];
    c.btnMonitor = &Buttons_[10];
    c.labStatus = &Status_;
    c.ProgressBar = &Gauge_;
    return c;
}

void QtMainWindow::ConnectEvents() {
    for (const ControlInfo& info : layout::Controls()) {
        const TwinMain::Handler handler = TwinMain::EventHandler(info.Id);
        QWidget* widget = Control(info.Id);
        auto forward = [this, handler] { Logic_->Run(handler); };
        switch (info.Kind) {
        case ControlKind::EditField:
            widget->installEventFilter(this);
            break;
        case ControlKind::Button:
            // Its Alt letter reaches the logic as a key (see eventFilter).
            widget->installEventFilter(this);
            [[fallthrough]];
        case ControlKind::CheckBox:
            connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this, forward);
            break;
        case ControlKind::ComboBox:
            connect(static_cast<QComboBox*>(widget), &QComboBox::currentIndexChanged, this, forward);
            if (static_cast<QComboBox*>(widget)->isEditable())
                widget->installEventFilter(this);
            if (const TwinMain::Handler opening = TwinMain::DropDownHandler(info.Id))
                connect(static_cast<TComboBox*>(widget), &TComboBox::PopupAboutToShow, this,
                        [this, opening] { Logic_->Run(opening); });
            break;
        case ControlKind::RadioGroup:
            connect(AccessTypeButtons_, &QButtonGroup::idClicked, this, forward);
            break;
        case ControlKind::CheckList: {
            auto* list = static_cast<TCheckListBox*>(widget);
            connect(list, &TCheckListBox::CheckClicked, this, [list, forward](int row) {
                // The handler keeps the current row's mark: that is the row the user toggled.
                if (list->currentRow() != row)
                    list->setCurrentRow(row);
                forward();
            });
            if (const TwinMain::Handler text = TwinMain::TextClickHandler(info.Id))
                connect(list, &TCheckListBox::TextClicked, this, [this, list, text](int row) {
                    if (list->currentRow() != row)
                        list->setCurrentRow(row);
                    Logic_->Run(text);
                });
            break;
        }
        case ControlKind::CommandList:
            connect(static_cast<QPlainTextEdit*>(widget)->document(), &QTextDocument::contentsChange, this,
                    [this](int, int, int) { Logic_->CommandListChange(); });
            // The list takes dropped text itself; dropped files are the window's.
            static_cast<QPlainTextEdit*>(widget)->viewport()->installEventFilter(this);
            break;
        default:
            break;
        }
    }
    for (const layout::Shortcut& key : layout::Shortcuts()) {
        const QKeySequence sequence(
            QKeyCombination(Qt::ControlModifier | (key.Shift ? Qt::ShiftModifier : Qt::NoModifier),
                            static_cast<Qt::Key>(key.Key)));
        auto* shortcut = new QShortcut(sequence, this);
        const TwinMain::Handler handler = TwinMain::CommandHandler(key.Action);
        connect(shortcut, &QShortcut::activated, this,
                [this, handler] { Logic_->KeyAction(FocusedControl(), handler); });
    }
    // Escape stops a running download, as Stop does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this,
            [this] { Logic_->Run(TwinMain::CommandHandler(layout::Command::Stop)); });
}

std::optional<ControlId> QtMainWindow::FocusedControl() const {
    const auto found = std::find(Widgets_.begin(), Widgets_.end(), QApplication::focusWidget());
    if (found == Widgets_.end())
        return std::nullopt;
    return static_cast<ControlId>(found - Widgets_.begin());
}

void QtMainWindow::WatchTerminationRequests() {
    const int descriptor = os::TerminationDescriptor();
    if (descriptor < 0)
        return;
    auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        os::AcknowledgeTerminationRequest();
        Logic_->Run(&TwinMain::TerminationRequest);
    });
}

bool QtMainWindow::TakesDrop(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (DroppedFiles(drag->mimeData()).empty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::vector<std::string> files = DroppedFiles(drop->mimeData());
        if (files.empty())
            return false;
        drop->acceptProposedAction();
        Logic_->Run([this, files] { Logic_->FilesDropped(files); });
        return true;
    }
    default:
        return false;
    }
}

void QtMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!TakesDrop(event))
        QWidget::dragEnterEvent(event);
}

void QtMainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!TakesDrop(event))
        QWidget::dragMoveEvent(event);
}

void QtMainWindow::dropEvent(QDropEvent* event) {
    if (!TakesDrop(event))
        QWidget::dropEvent(event);
}

bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (TakesDrop(event))
        return true;
    if (watched == Content_ && event->type() == QEvent::Resize) {
        ApplyLayout();
        return QWidget::eventFilter(watched, event);
    }
    const auto found = std::find(Widgets_.begin(), Widgets_.end(), watched);
    if (found == Widgets_.end())
        return QWidget::eventFilter(watched, event);
    const auto id = static_cast<ControlId>(found - Widgets_.begin());
    const ControlKind kind = layout::Info(id).Kind;
    // The editable device list is left as a field is (the filter is on no other list).
    if ((kind == ControlKind::EditField || kind == ControlKind::ComboBox) &&
        event->type() == QEvent::FocusOut) {
        // Leaving the field, not the window: switching to another window or opening a popup is no exit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Logic_->Run(TwinMain::EventHandler(id));
    } else if (kind == ControlKind::Button && event->type() == QEvent::Shortcut) {
        // A button's Alt letter would click it without moving the focus, so the field being typed in would
        // not be left first: the logic takes it as the key it is. A disabled button takes no key.
        if ((*found)->isEnabled())
            Logic_->KeyAction(FocusedControl(), TwinMain::EventHandler(id));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    if (!Logic_->FormCloseQuery()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void QtMainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Now the frame is known: fit once more with it.
    if (!Fitted_) {
        Fitted_ = true;
        FitToScreen();
    }
}

layout::LayoutMetrics QtMainWindow::Measure() const {
    using enum ControlId;
    layout::LayoutMetrics m;
    for (const ControlInfo& info : layout::Controls()) {
        QWidget* widget = Control(info.Id);
        if (info.Kind == ControlKind::Label || info.Kind == ControlKind::CheckBox ||
            info.Kind == ControlKind::RadioButton)
            m.Text(info.Id) = widget->sizeHint().width();
        else if (info.Kind == ControlKind::RadioGroup)
            m.Text(info.Id) = widget->fontMetrics().horizontalAdvance(Text(info)) + 24;
    }
    auto* device = static_cast<QComboBox*>(Control(cmbDevice));
    m.FieldHeight = std::max(device->sizeHint().height(), Control(txtPhyAdr)->sizeHint().height());
    // The widest entry with the list's frame and arrow, which a COM name shows as the rest of its hint.
    int widest = 0;
    for (int i = 0; i < device->count(); ++i)
        widest = std::max(widest, device->fontMetrics().horizontalAdvance(device->itemText(i)));
    const int chrome =
        device->sizeHint().width() - device->fontMetrics().horizontalAdvance(QStringLiteral("COM255"));
    m.DeviceListWidth = widest + std::max(chrome, 32);
    auto* commands = static_cast<QPlainTextEdit*>(Control(CommandList));
    m.CommandLineHeight = commands->fontMetrics().lineSpacing();
    m.CommandListChrome = 2 * commands->frameWidth() + commands->horizontalScrollBar()->sizeHint().height();
    return m;
}

void QtMainWindow::ApplyLayout() {
    const layout::WindowLayout placed = layout::LayOut({Content_->width(), Content_->height()}, Metrics_);
    for (const ControlInfo& info : layout::Controls()) {
        const layout::Rect& r = placed[info.Id];
        Control(info.Id)->setGeometry(r.X, r.Y, r.Width, r.Height);
    }
}

void QtMainWindow::FitToScreen() {
    const QScreen* target = screen();
    if (target == nullptr)
        return;
    const QRect area = target->availableGeometry();
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isNull())
        // Not shown yet, so the frame is unknown: allow for a title bar.
        frame = QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    // Where the user left it, while that still fits the screen it opens on.
    const std::optional<layout::Placement>& saved = Logic_->SavedPlacement();
    if (saved && layout::FitsArea({area.x(), area.y(), area.width(), area.height()},
                                  {frame.width(), frame.height()}, *saved)) {
        resize(saved->Client.Width, saved->Client.Height);
        move(saved->X, saved->Y);
        return;
    }
    const layout::Placement placement =
        layout::FitToArea({area.x(), area.y(), area.width(), area.height()}, {frame.width(), frame.height()},
                          {layout::DesignClientWidth, layout::DesignClientHeight});
    resize(placement.Client.Width, placement.Client.Height);
    move(placement.X, placement.Y);
}

int RunConfigurator(ZeloApplication& app, Dialogs& dialogs, const std::string& settingsFileName,
                    const std::vector<std::string>& files) {
    auto* qtDialogs = dynamic_cast<QtDialogs*>(&dialogs);
    // Noted from now on; the window hears of them through its event loop.
    os::CatchTerminationRequests();
    try {
        ReadVersionInfo();
        auto window = std::make_unique<QtMainWindow>(dialogs, settingsFileName);
        if (qtDialogs != nullptr)
            qtDialogs->SetParent(window.get());
        window->show();
        window->Logic().Run([&window, &files] { window->Logic().Started(files); });
        QApplication::exec();
        if (qtDialogs != nullptr)
            qtDialogs->SetParent(nullptr);
        window.reset();
    } catch (...) {
        if (qtDialogs != nullptr)
            qtDialogs->SetParent(nullptr);
        app.ShowCurrentException();
        return 1;
    }
    return 0;
}

} // namespace zelo
