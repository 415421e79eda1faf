#include "window/win32/Win32Window.h"
#include "window/Catalogue.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <string>
#include <tuple>
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
    const std::wstring wide = WideText(text);
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
        const layout::ControlInfo& info = layout::Info(id);
        if (info.Kind == ControlKind::RadioButton && ControlOf(id) != &Get<RadioGroup>(info.Parent).Item(0))
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

template <typename Class> Class& Win32Window::Adopt(ControlId id) {
    auto control = std::make_unique<Class>();
    Class& made = *control;
    Controls_[static_cast<std::size_t>(id)] = &made;
    Owned_.push_back(std::move(control));
    if constexpr (std::is_base_of_v<IControl, Class>)
        Registry_.Add(id, static_cast<IControl&>(made));
    if constexpr (std::is_base_of_v<ILabel, Class>)
        Registry_.Add(id, static_cast<ILabel&>(made));
    if constexpr (std::is_base_of_v<IGauge, Class>)
        Registry_.Add(id, static_cast<IGauge&>(made));
    return made;
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
    const ControlId parent = layout::Info(id).Parent;
    return parent == layout::Client ? winMain.Handle() : ControlHandle(parent);
}

namespace {

template <ControlKind Kind, typename Class> struct KindClass {};
using SimpleKinds =
    std::tuple<KindClass<ControlKind::CaptionBar, CaptionBar>, KindClass<ControlKind::Panel, Panel>,
               KindClass<ControlKind::EditField, EditField>, KindClass<ControlKind::CheckBox, CheckBox>,
               KindClass<ControlKind::Button, Button>, KindClass<ControlKind::Gauge, Gauge>,
               KindClass<ControlKind::CommandList, MultiLineEdit>>;

} // namespace

void Win32Window::CreateControl(ControlId id) {
    if (ControlOf(id) != nullptr)
        return;
    const layout::ControlInfo& info = layout::Info(id);
    // A radio button comes into being with its group.
    if (info.Kind == ControlKind::RadioButton) {
        CreateControl(info.Parent);
        return;
    }
    if (info.Parent != layout::Client)
        CreateControl(info.Parent);
    const HWND parent = ParentOf(id);
    const std::string text(Tr(info.Text));
    const int windowId = Win32Id(id);
    // The kinds made alike: the class, given the parent, the ID and, where it takes one, the text.
    const auto made = [&]<ControlKind Kind, typename Class>(KindClass<Kind, Class>) {
        if (info.Kind != Kind)
            return false;
        Class& control = Adopt<Class>(id);
        if constexpr (requires { control.Create(parent, windowId, text); })
            control.Create(parent, windowId, text);
        else
            control.Create(parent, windowId);
        return true;
    };
    if (std::apply([&](auto... kinds) { return (made(kinds) || ...); }, SimpleKinds{}))
        return;
    switch (info.Kind) {
    case ControlKind::Label:
    case ControlKind::StatusLabel:
        Adopt<Label>(id).Create(parent, windowId, text,
                                info.Style == layout::ControlStyle::RightAligned ? SS_RIGHT : SS_LEFT);
        break;
    case ControlKind::ComboBox:
        Adopt<ComboBox>(id).Create(parent, windowId, info.Style == layout::ControlStyle::Editable);
        break;
    case ControlKind::RadioGroup: {
        // The buttons lie on the frame but belong to its parent, so the dialog keys reach them.
        std::vector<ControlId> items;
        std::vector<int> ids;
        std::vector<std::string> texts;
        for (const layout::ControlInfo& item : layout::Controls())
            if (item.Parent == id) {
                items.push_back(item.Id);
                ids.push_back(Win32Id(item.Id));
                texts.emplace_back(Tr(item.Text));
            }
        RadioGroup& group = Adopt<RadioGroup>(id);
        group.Create(parent, windowId, ids, text, texts);
        for (std::size_t i = 0; i < items.size(); ++i)
            Controls_[static_cast<std::size_t>(items[i])] = &group.Item(static_cast<int>(i));
        break;
    }
    case ControlKind::CheckList:
        Adopt<CheckList>(id).Create(parent, windowId, 2);
        break;
    default:
        break;
    }
}

void Win32Window::Connect() {
    for (const layout::ControlInfo& info : layout::Controls()) {
        for (const ControlEvent event : EventsOf(info)) {
            const auto raise = [this, id = info.Id, event] {
                if (OnEvent)
                    OnEvent(id, event);
            };
            const auto raiseForRow = [raise](int) { raise(); };
            switch (event) {
            case ControlEvent::Left:
                if (info.Kind == ControlKind::ComboBox)
                    Get<ComboBox>(info.Id).OnLeave = raise;
                else
                    Get<EditField>(info.Id).OnLeave = raise;
                break;
            case ControlEvent::Used:
                if (info.Kind == ControlKind::Button)
                    Get<Button>(info.Id).OnClick = raise;
                else if (info.Kind == ControlKind::CheckBox)
                    Get<CheckBox>(info.Id).OnClick = raise;
                else if (info.Kind == ControlKind::ComboBox)
                    Get<ComboBox>(info.Id).OnChange = raise;
                else if (info.Kind == ControlKind::RadioGroup)
                    Get<RadioGroup>(info.Id).OnClick = raiseForRow;
                else if (info.Kind == ControlKind::CheckList)
                    Get<CheckList>(info.Id).OnCheckClicked = raiseForRow;
                break;
            case ControlEvent::Accelerator:
                // Windows clicks the button only after the field being typed in was judged on leaving.
                break;
            case ControlEvent::DropDown:
                Get<ComboBox>(info.Id).OnDropDown = raise;
                break;
            case ControlEvent::TextClicked:
                Get<CheckList>(info.Id).OnTextClicked = raiseForRow;
                break;
            case ControlEvent::Changed:
                Get<MultiLineEdit>(info.Id).OnUserChange = raise;
                break;
            }
        }
    }
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
}

void Win32Window::ApplyFonts() {
    for (const layout::ControlInfo& info : layout::Controls()) {
        Control* control = ControlOf(info.Id);
        if (control == nullptr)
            continue;
        control->SetFont(info.Kind == ControlKind::CaptionBar ? Fonts_->CaptionBold() : Fonts_->Message());
    }
    for (const layout::ControlInfo& info : layout::Controls()) {
        if (info.Kind == ControlKind::CaptionBar)
            Get<CaptionBar>(info.Id).SetIndent(Scale(8, Dpi_));
        else if (info.Kind == ControlKind::CheckList)
            Get<CheckList>(info.Id).FitRows();
    }
}

layout::LayoutMetrics Win32Window::Measure() const {
    layout::LayoutMetrics metrics;
    HWND window = winMain.Handle();
    HFONT font = Fonts_->Message();
    const int box = SystemMetric(SM_CXMENUCHECK, Dpi_) + Scale(6, Dpi_);
    for (const layout::ControlInfo& info : layout::Controls()) {
        const std::string text(Tr(info.Text));
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
    const ComboBox& device = Get<ComboBox>(ControlId::cmbDevice);
    const int comboField =
        static_cast<int>(::SendMessageW(device.Handle(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0)) +
        Scale(6, Dpi_);
    metrics.FieldHeight = ToLayout(std::max<int>(line.cy + Scale(9, Dpi_), comboField), Dpi_);
    metrics.DeviceListWidth = ToLayout(device.WidestItemWidth(), Dpi_);
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
        // A radio button lies on its group's frame, in the frame's parent.
        if (info.Kind == ControlKind::RadioButton) {
            rect.X += Layout_[info.Parent].X;
            rect.Y += Layout_[info.Parent].Y;
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
