#pragma once
// The configurator's window on Windows: every control of the shared layout as a CreateWindowEx control,
// placed by that layout at the window's DPI, with the user's events handed on by control. The logic is not
// in here: whoever owns the window connects OnEvent, OnCommandListChange and OnCloseRequest to it.
#include "window/Controls.h"
#include "window/Layout.h"
#include "window/win32/Win32CheckList.h"
#include "window/win32/Win32Control.h"
#include "window/win32/Win32Form.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zelo::win32 {

// The Win32 control ID of a control of the layout: its ControlId, past the IDs the dialog keys use (IDOK
// and IDCANCEL are 1 and 2).
inline constexpr int ControlIdBase = 1000;
// The command numbers of the keyboard shortcuts, below the controls' IDs.
inline constexpr int ShortcutCommandBase = 900;
constexpr int Win32Id(layout::ControlId id) {
    return ControlIdBase + static_cast<int>(id);
}

class Win32Window {
public:
    Win32Window() = default;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // Creates the window and its controls, hidden; false when Windows makes no window (no display).
    bool Create();
    // The controls for the logic.
    WindowControls Controls();
    HWND Handle() const { return winMain.Handle(); }
    HWND ControlHandle(layout::ControlId id) const;
    // The control of the layout that holds the keyboard focus, if any.
    std::optional<layout::ControlId> FocusedControl() const;
    UINT Dpi() const { return Dpi_; }

    // Shows the window at the design client size (fitted into the screen's free area), centred, with the
    // focus on the first field; at placement instead when one is given and it fits the screen.
    void Show(int showCommand = SW_SHOWNORMAL, const std::optional<layout::Placement>& placement = {});
    // Runs the message loop until the logic or the close box ends it.
    int Run() { return winMain.Run(); }
    // Measures the texts again and places every control for the client size (also after the logic filled
    // the device list).
    void LayOutControls();
    const layout::WindowLayout& CurrentLayout() const { return Layout_; }
    const layout::LayoutMetrics& Metrics() const { return Metrics_; }
    // The client size of the layout's design, at the window's DPI.
    SIZE DesignClientSize() const;

    // A user's event on a control (left, clicked, chosen, toggled); the control's state is already changed.
    std::function<void(layout::ControlId)> OnEvent;
    // A drop-down list about to open; a click on a check list's row text (the row is current already).
    std::function<void(layout::ControlId)> OnDropDown;
    std::function<void(layout::ControlId)> OnTextClick;
    // A keyboard shortcut of the layout.
    std::function<void(layout::Command)> OnShortcut;
    std::function<void()> OnCommandListChange;
    // The close box: true lets the window close.
    std::function<bool()> OnCloseRequest;

    Form winMain;
    // Bands
    CaptionBar DeviceSetupCaption;
    Panel DeviceSetupContainer;
    CaptionBar GroupAddressCaption;
    Panel GroupAddressContainer;
    CaptionBar ProgressCaption;
    Panel ProgressContainer;
    CaptionBar CommandListCaption;
    MultiLineEdit CommandList;
    Panel ButtonContainer;
    // Device setup
    Label Label6;
    ComboBox cmbDevice;
    Label Label7;
    ComboBox cmbBaudrate;
    Label Label1;
    EditField txtPhyAdr;
    CheckBox chkPrintSource;
    CheckBox chkPrintHex;
    CheckBox chkFullDuplex;
    Label labHost;
    EditField txtHost;
    Label labPort;
    EditField txtPort;
    // Group addresses
    Label Label2;
    EditField txtGrpAdrStart;
    Label Label4;
    EditField txtGrpAdrEnd;
    RadioGroup grpAccessType;
    Label Label3;
    CheckList EibDptList;
    Button btnAddAll;
    Button btnAdd;
    Button btnIgnore;
    Button btnImport;
    Button btnAbort;
    // Progress
    Label labStatus;
    Gauge ProgressBar;
    Button btnStop;
    // Buttons
    Button btnMonitor;
    Button btnOpen;
    Button btnSave;
    Button btnDownload;
    Button btnExit;

private:
    Control* ControlOf(layout::ControlId id) const;
    HWND ParentOf(layout::ControlId id) const;
    void CreateControl(layout::ControlId id);
    void Connect();
    void ApplyFonts();
    layout::LayoutMetrics Measure() const;
    void DpiChanged(UINT dpi);

    std::array<bool, layout::ControlCount> Created_{};
    std::unique_ptr<FontSet> Fonts_;
    UINT Dpi_ = 96;
    layout::LayoutMetrics Metrics_;
    layout::WindowLayout Layout_;
};

} // namespace zelo::win32
