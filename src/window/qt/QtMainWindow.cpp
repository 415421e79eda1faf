#include "window/qt/QtMainWindow.h"
#include "os/Signals.h"
#include "version/VersionInfo.h"
#include "window/Catalogue.h"
#include "window/qt/CheckList.h"
#include "window/qt/ComboBox.h"
#include "window/qt/CommandListEdit.h"
#include "window/qt/QtDialogs.h"
#include "window/qt/QtMonitorWindow.h"

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
#include <tuple>
#include <type_traits>

namespace zelo {

namespace {

using layout::ControlId;
using layout::ControlInfo;
using layout::ControlKind;

std::size_t Index(ControlId id) {
    return static_cast<std::size_t>(id);
}

QString Text(const ControlInfo& info) {
    const std::string_view text = Tr(info.Text);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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
    Form_.Bind(this);
    Logic_ = std::make_unique<TwinMain>(FillControls(Form_, Registry_), dialogs, settingsFileName,
                                        std::move(listPorts));
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

namespace {

template <ControlKind Kind, typename Widget, typename Adapter> struct KindWidget {};
using SimpleKinds = std::tuple<KindWidget<ControlKind::Panel, QWidget, QtControl>,
                               KindWidget<ControlKind::EditField, QLineEdit, QtEditField>,
                               KindWidget<ControlKind::CheckBox, QCheckBox, QtCheckBox>,
                               KindWidget<ControlKind::CheckList, CheckList, QtCheckList>,
                               KindWidget<ControlKind::Button, QPushButton, QtControl>,
                               KindWidget<ControlKind::CommandList, CommandListEdit, QtCommandList>>;

} // namespace

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
        // The kinds made alike: the widget, given the text where it takes one, and its adapter.
        const auto made = [&]<ControlKind Kind, typename Widget, typename Adapter>(
                              KindWidget<Kind, Widget, Adapter>) -> QWidget* {
            if (info.Kind != Kind)
                return nullptr;
            Widget* created = nullptr;
            if constexpr (std::is_constructible_v<Widget, QString, QWidget*>)
                created = new Widget(text, parent);
            else
                created = new Widget(parent);
            Register<Adapter>(info.Id, created);
            return created;
        };
        QWidget* widget = std::apply(
            [&](auto... kinds) {
                QWidget* found = nullptr;
                ((found = found != nullptr ? found : made(kinds)), ...);
                return found;
            },
            SimpleKinds{});
        if (widget == nullptr) {
            switch (info.Kind) {
            case ControlKind::CaptionBar:
                widget = CaptionBar(parent, text);
                break;
            case ControlKind::Label:
            case ControlKind::StatusLabel: {
                // Text from files and from the gateway shows as it is, never as rich text.
                auto* label = new QLabel(parent);
                label->setTextFormat(Qt::PlainText);
                label->setText(text);
                if (info.Style == layout::ControlStyle::RightAligned)
                    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                widget = label;
                if (info.Kind == ControlKind::StatusLabel)
                    Register<QtLabel>(info.Id, label);
                else
                    Register<QtControl>(info.Id, widget);
                break;
            }
            case ControlKind::ComboBox: {
                auto* box = new ComboBox(parent);
                // A device name may be typed in, taken as it is when the field is left: no completion that
                // would turn COM1 into COM10, no entry added.
                box->setEditable(info.Style == layout::ControlStyle::Editable);
                if (box->isEditable()) {
                    box->setCompleter(nullptr);
                    box->setInsertPolicy(QComboBox::NoInsert);
                }
                box->setMaxVisibleItems(16);
                widget = box;
                Register<QtComboBox>(info.Id, widget);
                break;
            }
            case ControlKind::RadioGroup: {
                widget = new QGroupBox(text, parent);
                auto group = std::make_shared<QtRadioGroup>();
                group->Bind(widget);
                group->BindButtons(AccessTypeButtons_);
                Registry_.Add(info.Id, *group);
                Adapters_.push_back(std::move(group));
                break;
            }
            case ControlKind::RadioButton: {
                // The group's buttons are numbered in the table's order.
                auto* radio = new QRadioButton(text, parent);
                AccessTypeButtons_->addButton(radio, static_cast<int>(AccessTypeButtons_->buttons().size()));
                widget = radio;
                break;
            }
            case ControlKind::Gauge:
                widget = Gauge(parent);
                Register<QtGauge>(info.Id, static_cast<QProgressBar*>(widget));
                break;
            default:
                break;
            }
        }
        widget->setObjectName(
            QString::fromLatin1(info.Name.data(), static_cast<qsizetype>(info.Name.size())));
        Widgets_[Index(info.Id)] = widget;
    }

    const auto order = layout::TabOrder();
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(Control(order[i]), Control(order[i + 1]));
}

template <typename Adapter, typename Widget> void QtMainWindow::Register(ControlId id, Widget* widget) {
    auto adapter = std::make_shared<Adapter>();
    adapter->Bind(widget);
    Registry_.Add(id, *adapter);
    Adapters_.push_back(std::move(adapter));
}

void QtMainWindow::Raise(ControlId id, ControlEvent event) {
    Dispatch(*Logic_, id, event, FocusedControl());
}

void QtMainWindow::ConnectEvents() {
    for (const ControlInfo& info : layout::Controls()) {
        QWidget* widget = Control(info.Id);
        for (const ControlEvent event : EventsOf(info)) {
            switch (event) {
            case ControlEvent::Left:
            case ControlEvent::Accelerator:
                // Heard in eventFilter: the focus leaving, a button's Alt letter.
                widget->installEventFilter(this);
                break;
            case ControlEvent::Used:
                ConnectUse(info, widget);
                break;
            case ControlEvent::DropDown:
                connect(static_cast<ComboBox*>(widget), &ComboBox::PopupAboutToShow, this,
                        [this, id = info.Id] { Raise(id, ControlEvent::DropDown); });
                break;
            case ControlEvent::TextClicked: {
                auto* list = static_cast<CheckList*>(widget);
                connect(list, &CheckList::TextClicked, this, [this, list, id = info.Id](int row) {
                    if (list->currentRow() != row)
                        list->setCurrentRow(row);
                    Raise(id, ControlEvent::TextClicked);
                });
                break;
            }
            case ControlEvent::Changed:
                connect(static_cast<QPlainTextEdit*>(widget)->document(), &QTextDocument::contentsChange,
                        this, [this, id = info.Id](int, int, int) { Raise(id, ControlEvent::Changed); });
                // The list takes dropped text itself; dropped files are the window's.
                static_cast<QPlainTextEdit*>(widget)->viewport()->installEventFilter(this);
                break;
            }
        }
    }
    for (const layout::Shortcut& key : layout::Shortcuts()) {
        const QKeySequence sequence(
            QKeyCombination(Qt::ControlModifier | (key.Shift ? Qt::ShiftModifier : Qt::NoModifier),
                            static_cast<Qt::Key>(key.Key)));
        auto* shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this,
                [this, command = key.Action] { DispatchShortcut(*Logic_, command, FocusedControl()); });
    }
    // Escape stops a running download, as Stop does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this,
            [this] { DispatchShortcut(*Logic_, layout::Command::Stop, FocusedControl()); });
}

void QtMainWindow::ConnectUse(const ControlInfo& info, QWidget* widget) {
    const auto used = [this, id = info.Id] { Raise(id, ControlEvent::Used); };
    switch (info.Kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
        connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this, used);
        break;
    case ControlKind::ComboBox:
        connect(static_cast<QComboBox*>(widget), &QComboBox::currentIndexChanged, this, used);
        break;
    case ControlKind::RadioGroup:
        connect(AccessTypeButtons_, &QButtonGroup::idClicked, this, used);
        break;
    case ControlKind::CheckList: {
        auto* list = static_cast<CheckList*>(widget);
        connect(list, &CheckList::CheckClicked, this, [list, used](int row) {
            // The handler keeps the current row's mark: that is the row the user toggled.
            if (list->currentRow() != row)
                list->setCurrentRow(row);
            used();
        });
        break;
    }
    default:
        break;
    }
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
    const layout::ControlInfo& info = layout::Info(static_cast<ControlId>(found - Widgets_.begin()));
    const auto raises = [&info](ControlEvent wanted) {
        return std::ranges::find(EventsOf(info), wanted) != EventsOf(info).end();
    };
    if (event->type() == QEvent::FocusOut && raises(ControlEvent::Left)) {
        // Leaving the field, not the window: switching to another window or opening a popup is no exit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Raise(info.Id, ControlEvent::Left);
    } else if (event->type() == QEvent::Shortcut && raises(ControlEvent::Accelerator)) {
        // A button's Alt letter would click it without moving the focus, so the field being typed in would
        // not be left first: the logic takes it as the key it is. A disabled button takes no key.
        if ((*found)->isEnabled())
            Raise(info.Id, ControlEvent::Accelerator);
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

namespace {

// The Qt window for the program's start and end.
class QtConfigurator : public ConfiguratorView {
public:
    explicit QtConfigurator(QtDialogs* boxes) : Boxes_(boxes) {}
    TwinMain& Create(Dialogs& dialogs, const std::string& settingsFileName) override {
        Window_ = std::make_unique<QtMainWindow>(dialogs, settingsFileName);
        return Window_->Logic();
    }
    void Show() override { Window_->show(); }
    void RunLoop() override { QApplication::exec(); }
    void OwnBoxes(bool owned) override {
        if (Boxes_ != nullptr)
            Boxes_->SetParent(owned ? Window_.get() : nullptr);
    }
    void Destroy() override { Window_.reset(); }

private:
    QtDialogs* Boxes_;
    std::unique_ptr<QtMainWindow> Window_;
};

} // namespace

int RunConfigurator(Dialogs& dialogs, const std::string& settingsFileName,
                    const std::vector<std::string>& files) {
    QtConfigurator view(dynamic_cast<QtDialogs*>(&dialogs));
    return zelo::RunConfigurator(view, dialogs, settingsFileName, files);
}

} // namespace zelo
