#include "window/win32/Win32Window.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <string>
#include <vector>

namespace zelo::win32 {

namespace {

using layout::ControlId;
using layout::ControlKind;

// The frame: a title bar with the system menu and the minimise box, and a border to resize the window by.
constexpr DWORD FormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME;
// Room for a drop-down list's open list below its field.
constexpr int DropDownHeight = 300;

// Pixels at a DPI to the layout's units (pixels at 96 dpi), rounded up so nothing measured is cut.
int ToLayout(int pixels, UINT dpi) {
    return (pixels * 96 + static_cast<int>(dpi) - 1) / static_cast<int>(dpi);
}

RECT ToPixels(const layout::Rect& rect, UINT dpi) {
    return RECT{Scale(rect.X, dpi), Scale(rect.Y, dpi), Scale(rect.Right(), dpi), Scale(rect.Bottom(), dpi)};
}

// Width and height of a text in a font; prefix: "&" marks an accelerator, "&&" shows one ampersand.
SIZE TextSize(HWND window, HFONT font, const std::string& text, bool prefix) {
    SIZE size{0, 0};
    HDC dc = ::GetDC(window);
    if (dc == nullptr)
        return size;
    HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    const std::wstring wide = Widen(text);
    RECT area{0, 0, 0, 0};
    ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &area,
                DT_CALCRECT | DT_SINGLELINE | (prefix ? 0 : DT_NOPREFIX));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    size = {area.right - area.left, std::max<LONG>(area.bottom - area.top, metrics.tmHeight)};
    if (old != nullptr)
        ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    return size;
}

int SystemMetric(int index, UINT dpi) {
    using ForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = reinterpret_cast<ForDpiFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    return forDpi != nullptr ? forDpi(index, dpi) : ::GetSystemMetrics(index);
}

} // namespace

bool Win32Window::Create() {
    if (!winMain.Create(layout::WindowCaption, FormStyle))
        return false;
    Dpi_ = winMain.Dpi();
    Fonts_ = std::make_unique<FontSet>(Dpi_);
    winMain.SetFont(Fonts_->Message());
    // The Tab key visits the controls in the order they were made (panels in turn): the tab order first,
    // then everything the Tab key passes by.
    for (const ControlId id : layout::TabOrder())
        CreateControl(id);
    for (const layout::ControlInfo& info : layout::Controls())
        CreateControl(info.Id);
    // Each tab stop starts a group of its own, so the arrow keys stay among the access type's buttons.
    for (const ControlId id : layout::TabOrder()) {
        if (id == ControlId::grpAccessType1 || id == ControlId::grpAccessType2)
            continue;
        if (HWND window = ControlHandle(id))
            ::SetWindowLongPtrW(window, GWL_STYLE, ::GetWindowLongPtrW(window, GWL_STYLE) | WS_GROUP);
    }
    ApplyFonts();
    Connect();
    winMain.OnLayout = [this] { LayOutControls(); };
    winMain.OnDpiChanged = [this](UINT dpi) { DpiChanged(dpi); };
    winMain.OnCloseRequest = [this] { return !OnCloseRequest || OnCloseRequest(); };
    LayOutControls();
    return true;
}

Control* Win32Window::ControlOf(ControlId id) const {
    auto* self = const_cast<Win32Window*>(this);
    switch (id) {
    case ControlId::DeviceSetupCaption:
        return &self->DeviceSetupCaption;
    case ControlId::DeviceSetupContainer:
        return &self->DeviceSetupContainer;
    case ControlId::Label6:
        return &self->Label6;
    case ControlId::cmbDevice:
        return &self->cmbDevice;
    case ControlId::Label7:
        return &self->Label7;
    case ControlId::cmbBaudrate:
        return &self->cmbBaudrate;
    case ControlId::Label1:
        return &self->Label1;
    case ControlId::txtPhyAdr:
        return &self->txtPhyAdr;
    case ControlId::chkPrintSource:
        return &self->chkPrintSource;
    case ControlId::chkPrintHex:
        return &self->chkPrintHex;
    case ControlId::chkFullDuplex:
        return &self->chkFullDuplex;
    case ControlId::labHost:
        return &self->labHost;
    case ControlId::txtHost:
        return &self->txtHost;
    case ControlId::labPort:
        return &self->labPort;
    case ControlId::txtPort:
        return &self->txtPort;
    case ControlId::GroupAddressCaption:
        return &self->GroupAddressCaption;
    case ControlId::GroupAddressContainer:
        return &self->GroupAddressContainer;
    case ControlId::Label2:
        return &self->Label2;
    case ControlId::txtGrpAdrStart:
        return &self->txtGrpAdrStart;
    case ControlId::Label4:
        return &self->Label4;
    case ControlId::txtGrpAdrEnd:
        return &self->txtGrpAdrEnd;
    case ControlId::grpAccessType:
        return &self->grpAccessType.Frame();
    case ControlId::grpAccessType0:
    case ControlId::grpAccessType1:
    case ControlId::grpAccessType2: {
        const int item = static_cast<int>(id) - static_cast<int>(ControlId::grpAccessType0);
        return item < grpAccessType.Count() ? &self->grpAccessType.Item(item) : nullptr;
    }
    case ControlId::Label3:
        return &self->Label3;
    case ControlId::EibDptList:
        return &self->EibDptList;
    case ControlId::btnAddAll:
        return &self->btnAddAll;
    case ControlId::btnAdd:
        return &self->btnAdd;
    case ControlId::btnIgnore:
        return &self->btnIgnore;
    case ControlId::btnImport:
        return &self->btnImport;
    case ControlId::btnAbort:
        return &self->btnAbort;
    case ControlId::ProgressCaption:
        return &self->ProgressCaption;
    case ControlId::ProgressContainer:
        return &self->ProgressContainer;
    case ControlId::labStatus:
        return &self->labStatus;
    case ControlId::ProgressBar:
        return &self->ProgressBar;
    case ControlId::btnStop:
        return &self->btnStop;
    case ControlId::CommandListCaption:
        return &self->CommandListCaption;
    case ControlId::CommandList:
        return &self->CommandList;
    case ControlId::ButtonContainer:
        return &self->ButtonContainer;
    case ControlId::btnMonitor:
        return &self->btnMonitor;
    case ControlId::btnOpen:
        return &self->btnOpen;
    case ControlId::btnSave:
        return &self->btnSave;
    case ControlId::btnDownload:
        return &self->btnDownload;
    case ControlId::btnExit:
        return &self->btnExit;
    }
    return nullptr;
}

HWND Win32Window::ControlHandle(ControlId id) const {
    const Control* control = ControlOf(id);
    return control != nullptr ? control->Handle() : nullptr;
}

std::optional<ControlId> Win32Window::FocusedControl() const {
    HWND focus = ::GetFocus();
    if (focus == nullptr || !::IsChild(Handle(), focus))
        return std::nullopt;
    const int id = ::GetDlgCtrlID(focus) - ControlIdBase;
    if (id < 0 || id >= static_cast<int>(layout::ControlCount) ||
        ControlHandle(static_cast<ControlId>(id)) != focus)
        return std::nullopt;
    return static_cast<ControlId>(id);
}

HWND Win32Window::ParentOf(ControlId id) const {
    ControlId parent = layout::Info(id).Parent;
    // The access type's buttons lie on its frame but belong to the panel, so the dialog keys reach them.
    if (parent == ControlId::grpAccessType)
        parent = layout::Info(parent).Parent;
    return parent == layout::Client ? winMain.Handle() : ControlHandle(parent);
}

void Win32Window::CreateControl(ControlId id) {
    const std::size_t index = static_cast<std::size_t>(id);
    if (Created_[index])
        return;
    const layout::ControlInfo& info = layout::Info(id);
    if (info.Parent != layout::Client)
        CreateControl(info.Parent == ControlId::grpAccessType ? layout::Info(info.Parent).Parent
                                                              : info.Parent);
    const HWND parent = ParentOf(id);
    const std::string text(info.Text);
    const int windowId = Win32Id(id);
    Created_[index] = true;
    switch (info.Kind) {
    case ControlKind::CaptionBar:
        static_cast<CaptionBar*>(ControlOf(id))->Create(parent, windowId, text);
        break;
    case ControlKind::Panel:
        static_cast<Panel*>(ControlOf(id))->Create(parent, windowId);
        break;
    case ControlKind::Label:
        static_cast<Label*>(ControlOf(id))
            ->Create(parent, windowId, text, id == ControlId::Label3 ? SS_RIGHT : SS_LEFT);
        break;
    case ControlKind::StatusLabel:
        static_cast<Label*>(ControlOf(id))->Create(parent, windowId, text);
        break;
    case ControlKind::EditField:
        static_cast<EditField*>(ControlOf(id))->Create(parent, windowId);
        break;
    case ControlKind::ComboBox:
        static_cast<ComboBox*>(ControlOf(id))->Create(parent, windowId, id == ControlId::cmbDevice);
        break;
    case ControlKind::CheckBox:
        static_cast<CheckBox*>(ControlOf(id))->Create(parent, windowId, text);
        break;
    case ControlKind::RadioGroup:
    case ControlKind::RadioButton: {
        // The group and its buttons come into being together.
        std::vector<int> ids;
        std::vector<std::string> items;
        for (const ControlId item :
             {ControlId::grpAccessType0, ControlId::grpAccessType1, ControlId::grpAccessType2}) {
            ids.push_back(Win32Id(item));
            items.emplace_back(layout::Info(item).Text);
            Created_[static_cast<std::size_t>(item)] = true;
        }
        Created_[static_cast<std::size_t>(ControlId::grpAccessType)] = true;
        grpAccessType.Create(ParentOf(ControlId::grpAccessType0), Win32Id(ControlId::grpAccessType), ids,
                             std::string(layout::Info(ControlId::grpAccessType).Text), items);
        break;
    }
    case ControlKind::CheckList:
        static_cast<CheckList*>(ControlOf(id))->Create(parent, windowId, 2);
        break;
    case ControlKind::Button:
        static_cast<Button*>(ControlOf(id))->Create(parent, windowId, text);
        break;
    case ControlKind::Gauge:
        static_cast<Gauge*>(ControlOf(id))->Create(parent, windowId);
        break;
    case ControlKind::CommandList:
        static_cast<MultiLineEdit*>(ControlOf(id))->Create(parent, windowId);
        break;
    }
}

void Win32Window::Connect() {
    const auto forward = [this](ControlId id) {
        return [this, id] {
            if (OnEvent)
                OnEvent(id);
        };
    };
    for (EditField* field : {&txtPhyAdr, &txtHost, &txtPort, &txtGrpAdrStart, &txtGrpAdrEnd})
        field->OnLeave = forward(static_cast<ControlId>(field->Id() - ControlIdBase));
    for (CheckBox* box : {&chkPrintSource, &chkPrintHex, &chkFullDuplex})
        box->OnClick = forward(static_cast<ControlId>(box->Id() - ControlIdBase));
    for (ComboBox* list : {&cmbDevice, &cmbBaudrate})
        list->OnChange = forward(static_cast<ControlId>(list->Id() - ControlIdBase));
    cmbDevice.OnLeave = forward(ControlId::cmbDevice);
    for (Button* button : {&btnAddAll, &btnAdd, &btnIgnore, &btnImport, &btnAbort, &btnStop, &btnOpen,
                           &btnSave, &btnDownload, &btnExit, &btnMonitor})
        button->OnClick = forward(static_cast<ControlId>(button->Id() - ControlIdBase));
    grpAccessType.OnClick = [forward](int) { forward(ControlId::grpAccessType)(); };
    EibDptList.OnCheckClicked = [forward](int) { forward(ControlId::EibDptList)(); };
    EibDptList.OnTextClicked = [this](int) {
        if (OnTextClick)
            OnTextClick(ControlId::EibDptList);
    };
    cmbDevice.OnDropDown = [this] {
        if (OnDropDown)
            OnDropDown(ControlId::cmbDevice);
    };
    // The layout's shortcuts as accelerators; a command's number is its place in the layout's table.
    std::vector<Form::Shortcut> shortcuts;
    const auto keys = layout::Shortcuts();
    for (std::size_t i = 0; i < keys.size(); ++i)
        shortcuts.push_back(
            {static_cast<WORD>(keys[i].Key), keys[i].Shift, ShortcutCommandBase + static_cast<int>(i)});
    winMain.SetShortcuts(shortcuts);
    winMain.OnShortcut = [this](int command) {
        const auto keys = layout::Shortcuts();
        const int index = command - ShortcutCommandBase;
        if (OnShortcut && index >= 0 && index < static_cast<int>(keys.size()))
            OnShortcut(keys[static_cast<std::size_t>(index)].Action);
    };
    winMain.OnEscape = [this] {
        if (OnShortcut)
            OnShortcut(layout::Command::Stop);
    };
    CommandList.OnUserChange = [this] {
        if (OnCommandListChange)
            OnCommandListChange();
    };
}

WindowControls Win32Window::Controls() {
    WindowControls controls;
    controls.winMain = &winMain;
    controls.DeviceSetupContainer = &DeviceSetupContainer;
    controls.GroupAddressContainer = &GroupAddressContainer;
    controls.CommandList = &CommandList;
    controls.ButtonContainer = &ButtonContainer;
    controls.cmbDevice = &cmbDevice;
    controls.cmbBaudrate = &cmbBaudrate;
    controls.txtPhyAdr = &txtPhyAdr;
    controls.chkPrintSource = &chkPrintSource;
    controls.chkPrintHex = &chkPrintHex;
    controls.chkFullDuplex = &chkFullDuplex;
    controls.labHost = &labHost;
    controls.txtHost = &txtHost;
    controls.labPort = &labPort;
    controls.txtPort = &txtPort;
    controls.txtGrpAdrStart = &txtGrpAdrStart;
    controls.txtGrpAdrEnd = &txtGrpAdrEnd;
    controls.grpAccessType = &grpAccessType;
    controls.EibDptList = &EibDptList;
    controls.btnAdd = &btnAdd;
    controls.btnAddAll = &btnAddAll;
    controls.btnIgnore = &btnIgnore;
    controls.btnImport = &btnImport;
    controls.btnAbort = &btnAbort;
    controls.labStatus = &labStatus;
    controls.ProgressBar = &ProgressBar;
    controls.btnStop = &btnStop;
    controls.btnMonitor = &btnMonitor;
    controls.btnOpen = &btnOpen;
    controls.btnSave = &btnSave;
    controls.btnDownload = &btnDownload;
    controls.btnExit = &btnExit;
    return controls;
}

void Win32Window::ApplyFonts() {
    for (const layout::ControlInfo& info : layout::Controls()) {
        Control* control = ControlOf(info.Id);
        if (control == nullptr)
            continue;
        control->SetFont(info.Kind == ControlKind::CaptionBar ? Fonts_->CaptionBold() : Fonts_->Message());
    }
    for (CaptionBar* bar : {&DeviceSetupCaption, &GroupAddressCaption, &ProgressCaption, &CommandListCaption})
        bar->SetIndent(Scale(8, Dpi_));
    EibDptList.FitRows();
}

layout::LayoutMetrics Win32Window::Measure() const {
    layout::LayoutMetrics metrics;
    HWND window = winMain.Handle();
    HFONT font = Fonts_->Message();
    const int box = SystemMetric(SM_CXMENUCHECK, Dpi_) + Scale(6, Dpi_);
    for (const layout::ControlInfo& info : layout::Controls()) {
        const std::string text(info.Text);
        int width = 0;
        switch (info.Kind) {
        case ControlKind::Label:
            width = TextSize(window, font, text, false).cx + Scale(4, Dpi_);
            break;
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            width = TextSize(window, font, text, true).cx + box + Scale(4, Dpi_);
            break;
        case ControlKind::RadioGroup:
            width = TextSize(window, font, text, true).cx + Scale(16, Dpi_);
            break;
        default:
            continue;
        }
        metrics.Text(info.Id) = ToLayout(width, Dpi_);
    }
    const SIZE line = TextSize(window, font, "Ag", false);
    const int comboField = cmbDevice.Handle() != nullptr
                               ? static_cast<int>(::SendMessageW(cmbDevice.Handle(), CB_GETITEMHEIGHT,
                                                                 static_cast<WPARAM>(-1), 0)) +
                                     Scale(6, Dpi_)
                               : 0;
    metrics.FieldHeight = ToLayout(std::max<int>(line.cy + Scale(9, Dpi_), comboField), Dpi_);
    metrics.DeviceListWidth = ToLayout(cmbDevice.WidestItemWidth(), Dpi_);
    metrics.CommandLineHeight = ToLayout(line.cy, Dpi_);
    metrics.CommandListChrome =
        ToLayout(2 * SystemMetric(SM_CYEDGE, Dpi_) + SystemMetric(SM_CYHSCROLL, Dpi_) + Scale(2, Dpi_), Dpi_);
    return metrics;
}

SIZE Win32Window::DesignClientSize() const {
    return SIZE{Scale(layout::DesignClientWidth, Dpi_), Scale(layout::DesignClientHeight, Dpi_)};
}

void Win32Window::LayOutControls() {
    if (Handle() == nullptr || Fonts_ == nullptr)
        return;
    Metrics_ = Measure();
    // Scroll bars that come or go change the client size: lay out again until it holds still.
    SIZE client = winMain.ClientSize();
    for (int round = 0; round < 3; ++round) {
        Layout_ = layout::LayOut({ToLayout(client.cx, Dpi_), ToLayout(client.cy, Dpi_)}, Metrics_);
        winMain.SetContentSize(SIZE{Scale(Layout_.Area.Width, Dpi_), Scale(Layout_.Area.Height, Dpi_)});
        const SIZE now = winMain.ClientSize();
        if (now.cx == client.cx && now.cy == client.cy)
            break;
        client = now;
    }
    const POINT offset = winMain.ScrollOffset();
    for (const layout::ControlInfo& info : layout::Controls()) {
        Control* control = ControlOf(info.Id);
        if (control == nullptr)
            continue;
        layout::Rect rect = Layout_[info.Id];
        if (info.Parent == ControlId::grpAccessType) {
            rect.X += Layout_[ControlId::grpAccessType].X;
            rect.Y += Layout_[ControlId::grpAccessType].Y;
        }
        RECT pixels = ToPixels(rect, Dpi_);
        if (info.Parent == layout::Client)
            ::OffsetRect(&pixels, -offset.x, -offset.y);
        if (info.Kind == ControlKind::ComboBox)
            pixels.bottom += Scale(DropDownHeight, Dpi_);
        control->Place(pixels);
    }
}

void Win32Window::Show(int showCommand, const std::optional<layout::Placement>& placement) {
    LayOutControls();
    if (!placement || !winMain.PlaceIfItFits(*placement))
        winMain.FitAndCenter(DesignClientSize());
    ::ShowWindow(Handle(), showCommand);
    ::UpdateWindow(Handle());
    ::SetForegroundWindow(Handle());
    HWND focus = ::GetFocus();
    if (focus == nullptr || !::IsChild(Handle(), focus))
        txtPhyAdr.Focus();
}

void Win32Window::DpiChanged(UINT dpi) {
    // The controls hold the old fonts until they have the new ones.
    const std::unique_ptr<FontSet> old = std::move(Fonts_);
    Dpi_ = dpi;
    Fonts_ = std::make_unique<FontSet>(Dpi_);
    winMain.SetFont(Fonts_->Message());
    ApplyFonts();
    LayOutControls();
}

} // namespace zelo::win32
