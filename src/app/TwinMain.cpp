#include "app/TwinMain.h"
#include "app/CheckListBox.h"
#include "app/DeviceList.h"
#include "app/ZeloApplication.h"
#include "commands/CommandLine.h"
#include "model/Address.h"
#include "model/DatapointTypes.h"
#include "model/Error.h"
#include "version/VersionInfo.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

namespace zelo {

namespace {

constexpr int ClientWidth = 1016;
constexpr int ClientHeight = 734;
constexpr int CaptionHeight = 33;
constexpr int ButtonWidth = 105;
constexpr int ButtonHeight = 25;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A black caption bar with white bold text.
QLabel* CaptionBar(QWidget* parent, const char* name, const char* text) {
    auto* bar = new QLabel(QString::fromLatin1(text), parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setFixedHeight(CaptionHeight);
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

QWidget* Panel(QWidget* parent, const char* name, int height) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFixedHeight(height);
    return panel;
}

template <typename W> W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A stated width, widened when the platform's font needs more so no text is cut.
int FitWidth(QWidget* widget, int stated) {
    return std::max(stated, widget->sizeHint().width());
}


// Lines the window writes itself are marked, so the user's edits can be told apart.
class OwnEdit {
public:
    explicit OwnEdit(int& depth) : Depth(depth) { ++Depth; }
    ~OwnEdit() { --Depth; }
    OwnEdit(const OwnEdit&) = delete;
    OwnEdit& operator=(const OwnEdit&) = delete;

private:
    int& Depth;
};

} // namespace

void TStatusLabel::SetStatusText(const std::string& text) {
    if (Label != nullptr)
        Label->setText(Q(text));
}

void TStatusLabel::RepaintNow() {
    if (Label != nullptr)
        Label->repaint();
}

void TProgressGauge::SetMinimum(int value) {
    if (Bar != nullptr)
        Bar->setMinimum(value);
}

void TProgressGauge::SetMaximum(int value) {
    if (Bar != nullptr)
        Bar->setMaximum(value);
}

void TProgressGauge::SetPosition(int value) {
    if (Bar != nullptr)
        Bar->setValue(value);
}

void TProgressGauge::RepaintNow() {
    if (Bar != nullptr)
        Bar->repaint();
}

TwinMain::TwinMain(Dialogs& dialogs, const std::string& settingsFileName, QWidget* parent)
    : QWidget(parent), Dialogs_(dialogs), SettingsFileName_(settingsFileName) {
    CreateControls();
    CreateImportControls();

    StatusLabel_.Label = labStatus;
    ProgressGauge_.Bar = ProgressBar;
    Converter = std::make_unique<TEibConverter>(&StatusLabel_, &ProgressGauge_);
    // While the link waits for the gateway the window keeps painting and reacting.
    Converter->WaitHook = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    GroupLines_ = std::make_unique<GroupLineIndex>(Converter->Groups);
    Converter->LoadSettings(SettingsFileName_);

    CurrentGroup = std::make_unique<TEibGroup>();
    ImportLines.clear();
    ImportFields.clear();
    ImportIndex = 0;
    Importing = false;

    {
        // Choosing the stored entries is no change by the user: no change handler runs.
        const QSignalBlocker blockDevice(cmbDevice);
        const QSignalBlocker blockBaudrate(cmbBaudrate);
        for (const std::string& entry : DeviceListEntries(os::ListSerialPorts(), Converter->Device()))
            cmbDevice->addItem(Q(entry));
        const QString device = Q(Converter->Device());
        int deviceIndex = -1;
        for (int i = 0; i < cmbDevice->count(); ++i) {
            if (cmbDevice->itemText(i).compare(device, Qt::CaseInsensitive) == 0) {
                deviceIndex = i;
                break;
            }
        }
        cmbDevice->setCurrentIndex(deviceIndex);
        WidenDeviceList();
        cmbBaudrate->setCurrentIndex(cmbBaudrate->findText(QString::number(Converter->Baudrate())));
    }

    std::vector<std::string> types;
    FillDatapointTypeList(types);
    for (const std::string& type : types) {
        auto* item = new QListWidgetItem(Q(type), EibDptList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    EibDptList->SetColumns(2);
    EibDptList->setCurrentRow(-1);

    AppendLine({});
    txtPhyAdr->setText(Q(Converter->GetPhysicalAddress()));
    txtGrpAdrEnd->setText(Q(GroupAddressToText(0)));
    txtGrpAdrStart->setText(Q(GroupAddressToText(0)));
    txtPhyAdrExit();

    setWindowTitle(windowTitle() + QStringLiteral(" V") + Q(VersionText(VersionInfo)));
    txtPhyAdr->setFocus();
    CenterOnScreen();
}

TwinMain::~TwinMain() {
    FormDestroy();
}

void TwinMain::FormDestroy() {
    try {
        if (Converter)
            Converter->SaveSettings(SettingsFileName_);
    } catch (...) {
        // The window goes all the same; the user learns why the settings were not kept.
        if (auto* app = ZeloApplication::Instance())
            app->ShowCurrentException();
    }
    ImportLines.clear();
    ImportFields.clear();
    GroupLines_.reset();
    Converter.reset();
    CurrentGroup.reset();
}

void TwinMain::CreateControls() {
    setObjectName(QStringLiteral("winMain"));
    setWindowTitle(QString::fromLatin1(WindowCaption));
    // A fixed dialog frame: system menu, minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);

    auto* bands = new QVBoxLayout(this);
    bands->setContentsMargins(0, 0, 0, 0);
    bands->setSpacing(0);

    // Device setup
    DeviceSetupCaption = CaptionBar(this, "DeviceSetupCaption", "Device Setup");
    DeviceSetupContainer = Panel(this, "DeviceSetupContainer", 72);
    {
        QWidget* p = DeviceSetupContainer;
        Label6 = Named(new QLabel(QStringLiteral("Com port:"), p), "Label6");
        cmbDevice = Named(new QComboBox(p), "cmbDevice");
        cmbDevice->setEditable(false);
        cmbDevice->setMaxVisibleItems(16);
        Label7 = Named(new QLabel(QStringLiteral("Baudrate:"), p), "Label7");
        cmbBaudrate = Named(new QComboBox(p), "cmbBaudrate");
        cmbBaudrate->setEditable(false);
        cmbBaudrate->addItems({QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                               QStringLiteral("57600")});
        cmbBaudrate->setCurrentIndex(-1);
        Label1 = Named(new QLabel(QStringLiteral("Eib physical address:"), p), "Label1");
        txtPhyAdr = Named(new QLineEdit(p), "txtPhyAdr");
        txtPhyAdr->setFrame(true);
        chkPrintSource = Named(new QCheckBox(QStringLiteral("Output source address"), p), "chkPrintSource");
        chkPrintHex =
            Named(new QCheckBox(QStringLiteral("Output addresses as hexadecimal numbers"), p), "chkPrintHex");
        chkFullDuplex = Named(new QCheckBox(QStringLiteral("Full duplex mode"), p), "chkFullDuplex");

        const int rowHeight = std::max({24, cmbDevice->sizeHint().height(), txtPhyAdr->sizeHint().height()});
        const int row1 = (72 / 2 - rowHeight) / 2 + 2;
        const int row2 = 72 / 2 + (72 / 2 - rowHeight) / 2 - 2;
        const int labelWidth = std::max({FitWidth(Label6, 99), FitWidth(Label1, 99)});
        const int fieldWidth = std::max({97, cmbDevice->minimumSizeHint().width()});
        const int x0 = 8;
        const int x1 = x0 + labelWidth + 4;
        const int x2 = x1 + fieldWidth + 24;
        const int label7Width = FitWidth(Label7, 99);
        Label6->setGeometry(x0, row1, labelWidth, rowHeight);
        cmbDevice->setGeometry(x1, row1, fieldWidth, rowHeight);
        Label7->setGeometry(x2, row1, label7Width, rowHeight);
        cmbBaudrate->setGeometry(x2 + label7Width, row1, fieldWidth, rowHeight);
        Label1->setGeometry(x0, row2, labelWidth, rowHeight);
        txtPhyAdr->setGeometry(x1, row2, fieldWidth, rowHeight);
        int x = x2;
        for (QCheckBox* box : {chkPrintSource, chkPrintHex, chkFullDuplex}) {
            const int width = box->sizeHint().width();
            box->setGeometry(x, row2, width, rowHeight);
            x += width + 24;
        }
    }

    // Group addresses
    GroupAddressCaption = CaptionBar(this, "GroupAddressCaption", "Group addresses");
    GroupAddressContainer = Panel(this, "GroupAddressContainer", 183);
    {
        QWidget* p = GroupAddressContainer;
        Label2 = Named(new QLabel(QStringLiteral("Group address start:"), p), "Label2");
        txtGrpAdrStart = Named(new QLineEdit(p), "txtGrpAdrStart");
        Label4 = Named(new QLabel(QStringLiteral("Group address end:"), p), "Label4");
        txtGrpAdrEnd = Named(new QLineEdit(p), "txtGrpAdrEnd");
        grpAccessType = Named(new QGroupBox(QStringLiteral("Access type"), p), "grpAccessType");
        AccessTypeButtons = new QButtonGroup(this);
        AccessTypeButtons->setObjectName(QStringLiteral("AccessTypeButtons"));
        auto* radios = new QHBoxLayout(grpAccessType);
        radios->setContentsMargins(8, 2, 8, 2);
        const char* const items[] = {"Read only", "Write only", "Read && Write"};
        for (int i = 0; i < 3; ++i) {
            auto* radio = new QRadioButton(QString::fromLatin1(items[i]), grpAccessType);
            radio->setObjectName(QStringLiteral("grpAccessType%1").arg(i));
            AccessTypeButtons->addButton(radio, i);
            radios->addWidget(radio, 1);
        }
        AccessTypeButtons->button(2)->setChecked(true);
        Label3 = Named(new QLabel(QStringLiteral("Datapoint type:"), p), "Label3");
        EibDptList = Named(new TCheckListBox(p), "EibDptList");
        btnAdd = Named(new QPushButton(QStringLiteral("&Add"), p), "btnAdd");
        btnIgnore = Named(new QPushButton(QStringLiteral("I&gnore"), p), "btnIgnore");
        btnImport = Named(new QPushButton(QStringLiteral("&Import"), p), "btnImport");
        btnAbort = Named(new QPushButton(QStringLiteral("A&bort"), p), "btnAbort");
        btnIgnore->setEnabled(false);
        btnAbort->setEnabled(false);

        const int editHeight = std::max(22, txtGrpAdrStart->sizeHint().height());
        const int labelWidth = std::max(FitWidth(Label2, 110), FitWidth(Label4, 110));
        const int x0 = 8;
        const int x1 = x0 + labelWidth + 4;
        Label2->setGeometry(x0, 10, labelWidth, editHeight);
        txtGrpAdrStart->setGeometry(x1, 10, 153, editHeight);
        Label4->setGeometry(x0, 10 + editHeight + 8, labelWidth, editHeight);
        txtGrpAdrEnd->setGeometry(x1, 10 + editHeight + 8, 153, editHeight);
        const int groupTop = 10 + 2 * editHeight + 20;
        const int groupWidth = std::max(x1 + 153 - x0, grpAccessType->sizeHint().width());
        grpAccessType->setGeometry(x0, groupTop, groupWidth,
                                   std::max(52, grpAccessType->sizeHint().height()));
        const int listX = ClientWidth - 8 - 529;
        const int label3Width = FitWidth(Label3, 99);
        Label3->setGeometry(listX - label3Width - 8, 10, label3Width, editHeight);
        Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        EibDptList->setGeometry(listX, 10, 529, 123);
        const int buttonTop = 183 - 10 - ButtonHeight;
        int x = ClientWidth - 8 - 4 * ButtonWidth - 3 * 8;
        for (QPushButton* button : {btnAdd, btnIgnore, btnImport, btnAbort}) {
            button->setGeometry(x, buttonTop, ButtonWidth, ButtonHeight);
            x += ButtonWidth + 8;
        }
    }

    // Progress
    ProgressCaption = CaptionBar(this, "ProgressCaption", "Progress information");
    ProgressContainer = Panel(this, "ProgressContainer", 56);
    {
        labStatus = Named(new QLabel(ProgressContainer), "labStatus");
        labStatus->setGeometry(8, 6, ClientWidth - 16, 20);
        ProgressBar = Named(new QProgressBar(ProgressContainer), "ProgressBar");
        ProgressBar->setOrientation(Qt::Horizontal);
        ProgressBar->setTextVisible(true);
        ProgressBar->setAlignment(Qt::AlignCenter);
        ProgressBar->setFormat(QStringLiteral("%p%"));
        QPalette palette = ProgressBar->palette();
        palette.setColor(QPalette::Highlight, Qt::black);
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        palette.setColor(QPalette::HighlightedText, Qt::white);
        ProgressBar->setPalette(palette);
        ProgressBar->setGeometry(8, 56 - 17 - 8, 1001, 17);
    }

    // Command list
    CommandListCaption = CaptionBar(this, "CommandListCaption", "Command list");
    CommandList = Named(new QPlainTextEdit(this), "CommandList");
    CommandList->setLineWrapMode(QPlainTextEdit::NoWrap);
    CommandList->setWordWrapMode(QTextOption::NoWrap);
    CommandList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CommandList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CommandList->setTabChangesFocus(true);
    CommandList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    // Buttons, docked at the bottom
    ButtonContainer = Panel(this, "ButtonContainer", 41);
    btnDownload = Named(new QPushButton(QStringLiteral("Download"), ButtonContainer), "btnDownload");
    btnExit = Named(new QPushButton(QStringLiteral("Exit"), ButtonContainer), "btnExit");
    btnExit->setGeometry(ClientWidth - 8 - ButtonWidth, 8, ButtonWidth, ButtonHeight);
    btnDownload->setGeometry(ClientWidth - 2 * (8 + ButtonWidth), 8, ButtonWidth, ButtonHeight);

    for (QWidget* band : {static_cast<QWidget*>(DeviceSetupCaption), DeviceSetupContainer,
                          static_cast<QWidget*>(GroupAddressCaption), GroupAddressContainer,
                          static_cast<QWidget*>(ProgressCaption), ProgressContainer,
                          static_cast<QWidget*>(CommandListCaption), static_cast<QWidget*>(CommandList)})
        bands->addWidget(band);
    bands->setStretchFactor(CommandList, 1);
    bands->addWidget(ButtonContainer);

    // Tab order: device setup, group addresses, the two buttons, the command list.
    const QList<QWidget*> order = {txtPhyAdr,
                                   chkPrintSource,
                                   chkPrintHex,
                                   chkFullDuplex,
                                   cmbDevice,
                                   cmbBaudrate,
                                   txtGrpAdrStart,
                                   txtGrpAdrEnd,
                                   EibDptList,
                                   btnAdd,
                                   btnIgnore,
                                   btnImport,
                                   AccessTypeButtons->button(0),
                                   AccessTypeButtons->button(1),
                                   AccessTypeButtons->button(2),
                                   btnAbort,
                                   btnDownload,
                                   btnExit,
                                   CommandList};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);

    // Wiring. An error a handler lets through is shown by the standard display right at the handler, so it
    // never unwinds through the toolkit's own code on its way out.
    for (QLineEdit* field : {txtPhyAdr, txtGrpAdrStart, txtGrpAdrEnd})
        field->installEventFilter(this);
    for (QCheckBox* box : {chkPrintSource, chkPrintHex, chkFullDuplex})
        connect(box, &QCheckBox::clicked, this, [this] { Guarded([this] { txtPhyAdrExit(); }); });
    connect(cmbDevice, &QComboBox::currentIndexChanged, this,
            [this] { Guarded([this] { cmbDeviceChange(); }); });
    connect(cmbBaudrate, &QComboBox::currentIndexChanged, this,
            [this] { Guarded([this] { cmbBaudrateChange(); }); });
    connect(EibDptList, &TCheckListBox::CheckClicked, this,
            [this](int row) { Guarded([this, row] { EibDptListClickCheck(row); }); });
    connect(AccessTypeButtons, &QButtonGroup::idClicked, this,
            [this](int id) { Guarded([this, id] { grpAccessTypeClick(id); }); });
    connect(btnAdd, &QPushButton::clicked, this, [this] { Guarded([this] { btnAddClick(); }); });
    connect(btnDownload, &QPushButton::clicked, this, [this] { Guarded([this] { btnDownloadClick(); }); });
    connect(btnExit, &QPushButton::clicked, this, [this] { Guarded([this] { btnExitClick(); }); });
    connect(CommandList->document(), &QTextDocument::contentsChange, this, [this](int, int, int) {
        if (OwnEdits == 0)
            GroupsStale = true;
    });
}

void TwinMain::WidenDeviceList() {
    // COM names fit the stated width; a device path (a USB adapter's by-id name, the demo gateway's link)
    // makes the list as wide as it needs, the baud rate list moving along.
    int widest = 0;
    for (int i = 0; i < cmbDevice->count(); ++i)
        widest = std::max(widest, cmbDevice->fontMetrics().horizontalAdvance(cmbDevice->itemText(i)));
    const int chrome =
        cmbDevice->sizeHint().width() - cmbDevice->fontMetrics().horizontalAdvance(QStringLiteral("COM255"));
    const int room = ClientWidth - 8 - cmbBaudrate->width() - Label7->width() - 24 - cmbDevice->x();
    const int wanted = std::min(room, widest + std::max(chrome, 32));
    const int extra = wanted - cmbDevice->width();
    if (extra <= 0)
        return;
    cmbDevice->resize(wanted, cmbDevice->height());
    Label7->move(Label7->x() + extra, Label7->y());
    cmbBaudrate->move(cmbBaudrate->x() + extra, cmbBaudrate->y());
}

void TwinMain::CenterOnScreen() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(ClientWidth / 2, ClientHeight / 2));
    }
}

bool TwinMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Leaving the field, not the window: switching to another window or opening a box is no exit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (!RestoringFocus && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == txtPhyAdr)
                Guarded([this] { txtPhyAdrExit(); });
            else if (watched == txtGrpAdrStart)
                Guarded([this] { txtGrpAdrStartExit(); });
            else if (watched == txtGrpAdrEnd)
                Guarded([this] { txtGrpAdrEndExit(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TwinMain::closeEvent(QCloseEvent* event) {
    // Closing now would free the converter under the running download: close once it has ended.
    if (Downloading) {
        CloseRequested = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

int TwinMain::ShowMessage(const std::string& text, int flags, const std::string& detail) {
    return Dialogs_.MessageBox(text, windowTitle().toStdString(), flags, detail);
}

// ---- The command list ----

void TwinMain::ReplaceLine(int lineNumber, const std::string& text) {
    const OwnEdit own(OwnEdits);
    QTextDocument* document = CommandList->document();
    QTextBlock block = document->findBlockByNumber(lineNumber);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(Q(text));
}

int TwinMain::AppendLine(const std::string& text) {
    const OwnEdit own(OwnEdits);
    QTextDocument* document = CommandList->document();
    // A line end at the very end is no further line: the new line takes that place and ends with its own.
    const bool endsWithLineEnd = document->lastBlock().length() <= 1;
    const int lineNumber = endsWithLineEnd ? document->blockCount() - 1 : document->blockCount();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    if (!endsWithLineEnd)
        cursor.insertBlock();
    cursor.insertText(Q(text));
    if (endsWithLineEnd)
        cursor.insertBlock();
    cursor.endEditBlock();
    return lineNumber;
}

std::vector<std::string> TwinMain::CommandLines() const {
    const QTextDocument* document = CommandList->document();
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(document->blockCount()));
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdString());
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

void TwinMain::txtPhyAdrExit() {
    // The first line is the setup line, whatever it holds now; a group line there gives up its entry.
    if (GroupLines_ && GroupLines_->FirstLine() == 0)
        GroupsStale = true;
    ReplaceLine(0, BuildSetupLine(txtPhyAdr->text().toStdString(), chkPrintSource->isChecked(),
                                  chkPrintHex->isChecked(), chkFullDuplex->isChecked()));
}

void TwinMain::AppendGroupLine() {
    const std::string line = BuildGroupLine(*CurrentGroup);
    if (!GroupsStale) {
        // The table follows the list: a full table refuses the line before it is written.
        const QTextDocument* document = CommandList->document();
        const bool endsWithLineEnd = document->lastBlock().length() <= 1;
        GroupLines_->AddLine(endsWithLineEnd ? document->blockCount() - 1 : document->blockCount(), line);
    }
    AppendLine(line);
}

void TwinMain::RefreshGroups() {
    GroupLines_->Clear();
    GroupsStale = true;
    const QTextDocument* document = CommandList->document();
    int lineNumber = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next(), ++lineNumber) {
        const QString text = block.text();
        if (text.startsWith(QStringLiteral("#DG")))
            GroupLines_->AddLine(lineNumber, text.toStdString());
    }
    GroupsStale = false;
}

// ---- Range entry ----

void TwinMain::GroupAddressExit(QLineEdit* field, std::uint16_t& target) {
    try {
        target = TextToGroupAddress(field->text().toStdString());
    } catch (const Exception& error) {
        ShowMessage(error.Message(), box::Ok | box::IconError);
        // Taking the focus back makes the field it went to lose it: that field is not being left by the user,
        // and judging it here would bounce the focus between two bad fields for ever.
        RestoringFocus = true;
        field->setFocus(Qt::OtherFocusReason);
        RestoringFocus = false;
    }
}

void TwinMain::txtGrpAdrStartExit() {
    GroupAddressExit(txtGrpAdrStart, CurrentGroup->StartAddress);
}

void TwinMain::txtGrpAdrEndExit() {
    GroupAddressExit(txtGrpAdrEnd, CurrentGroup->EndAddress);
}

void TwinMain::grpAccessTypeClick(int index) {
    CurrentGroup->AccessType = static_cast<std::uint8_t>(index);
}

void TwinMain::EibDptListClickCheck(int row) {
    // The toggled item is the one the user meant: every other check mark goes.
    for (int i = 0; i < EibDptList->count(); ++i) {
        if (i != row && EibDptList->Checked(i))
            EibDptList->SetChecked(i, false);
    }
}

bool TwinMain::AddCurrentGroup() {
    int checked = -1;
    for (int i = 0; i < EibDptList->count(); ++i) {
        if (EibDptList->Checked(i)) {
            checked = i;
            break;
        }
    }
    if (checked < 0) {
        ShowMessage("Please select a datapoint type!", box::Ok | box::IconError);
        EibDptList->setFocus(Qt::OtherFocusReason);
        return false;
    }
    CurrentGroup->DatapointType = static_cast<std::int8_t>(checked);

    // The table mirrors the group lines the list holds now, typed ones included, so the search and its
    // question are about what a download would send.
    if (GroupsStale)
        RefreshGroups();
    const std::vector<int> sameStart = GroupLines_->EntriesWithStart(CurrentGroup->StartAddress);
    for (const int entry : sameStart) {
        TEibGroup& old = Converter->Groups.Items(entry);
        if (EffectiveEnd(old) == EffectiveEnd(*CurrentGroup) &&
            old.DatapointType == CurrentGroup->DatapointType)
            return true;
        const std::string question =
            "Group with same starting address allready exists.\nDo you wish to replace\n\ngroup address: " +
            GroupAddressToText(old.StartAddress) + " to " + GroupAddressToText(old.EndAddress) + ")\n" +
            "\nwith\n\n" + "group address: " + GroupAddressToText(CurrentGroup->StartAddress) + " to " +
            GroupAddressToText(CurrentGroup->EndAddress) + ")?";
        if (ShowMessage(question, box::YesNo | box::IconQuestion) == box::IdYes) {
            old.Assign(*CurrentGroup);
            ReplaceLine(GroupLines_->LineOf(entry), BuildGroupLine(old));
            return true;
        }
    }
    AppendGroupLine();
    return true;
}

void TwinMain::btnAddClick() {
    if (AddCurrentGroup())
        ImportNextRange();
}

// ---- Link and download ----

void TwinMain::cmbDeviceChange() {
    Converter->SetDevice(cmbDevice->currentText().toStdString());
}

void TwinMain::cmbBaudrateChange() {
    bool ok = false;
    const int baudrate = cmbBaudrate->currentText().toInt(&ok, 10);
    Converter->SetBaudrate(ok ? baudrate : 19200);
}

void TwinMain::btnExitClick() {
    QCoreApplication::quit();
}

void TwinMain::btnDownloadClick() {
    DeviceSetupContainer->setEnabled(false);
    GroupAddressContainer->setEnabled(false);
    CommandList->setEnabled(false);
    ButtonContainer->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Downloading = true;
    try {
        std::string detail;
        try {
            bool opened = false;
            try {
                opened = Converter->Open();
            } catch (const Exception&) {
                detail = Converter->LastOsError();
                throw;
            }
            if (!opened) {
                detail = Converter->LastOsError();
                throw Exception(FormatMessage("Can't open %s!", Converter->Device()));
            }
            detail.clear();
            Converter->Download(CommandLines());
        } catch (const Exception& error) {
            ShowMessage(error.Message(), box::Ok | box::IconError, detail);
        }
    } catch (...) {
        EndDownload();
        throw;
    }
    EndDownload();
}

void TwinMain::EndDownload() {
    Converter->Close();
    QApplication::restoreOverrideCursor();
    DeviceSetupContainer->setEnabled(true);
    GroupAddressContainer->setEnabled(true);
    CommandList->setEnabled(true);
    ButtonContainer->setEnabled(true);
    Downloading = false;
    if (CloseRequested) {
        CloseRequested = false;
        close();
    }
}

} // namespace zelo
