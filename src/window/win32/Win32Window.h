#pragma once
// The configurator's window on Windows: every control of the shared layout as a CreateWindowEx control,
// placed by that layout at the window's DPI, with the user's events handed on by control. The logic is not
// in here: whoever owns the window connects OnEvent, OnShortcut and OnCloseRequest to it.
#include "window/Controls.h"
#include "window/Layout.h"
#include "window/Wiring.h"
#include "window/win32/Win32Buttons.h"
#include "window/win32/Win32CheckList.h"
#include "window/win32/Win32ComboBox.h"
#include "window/win32/Win32EditField.h"
#include "window/win32/Win32Form.h"
#include "window/win32/Win32Gauge.h"
#include "window/win32/Win32Labels.h"
#include "window/win32/Win32MultiLineEdit.h"
#include "window/win32/Win32Panel.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
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
    WindowControls Controls() { return FillControls(winMain, Registry_); }
    HWND Handle() const { return winMain.Handle(); }
    HWND ControlHandle(layout::ControlId id) const;
    // The control made for id as the class it was made of; throws when it is none of that class.
    template <typename Class> Class& Get(layout::ControlId id) const {
        auto* control = dynamic_cast<Class*>(ControlOf(id));
        if (control == nullptr)
            throw std::logic_error("no such control: " + std::string(layout::Info(id).Name));
        return *control;
    }
    // The control of the layout that holds the keyboard focus, if any.
    std::optional<layout::ControlId> FocusedControl() const;
    UINT Dpi() const { return Dpi_; }

    // Shows the window at the design client size (fitted into the screen's free area), centred; at placement
    // instead when one is given and it fits the screen. The focus is where the logic's start-up put it.
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

    // A user's event on a control; the control's state is already changed.
    std::function<void(layout::ControlId, ControlEvent)> OnEvent;
    // A keyboard shortcut of the layout.
    std::function<void(layout::Command)> OnShortcut;
    // The close box: true lets the window close.
    std::function<bool()> OnCloseRequest;

    Form winMain;

private:
    Control* ControlOf(layout::ControlId id) const { return Controls_[static_cast<std::size_t>(id)]; }
    // Makes the control for id of its class, keeps it and registers it by the interfaces it has.
    template <typename Class> Class& Adopt(layout::ControlId id);
    HWND ParentOf(layout::ControlId id) const;
    void CreateControl(layout::ControlId id);
    void Connect();
    void ApplyFonts();
    layout::LayoutMetrics Measure() const;
    void DpiChanged(UINT dpi);

    std::array<Control*, layout::ControlCount> Controls_{};
    std::vector<std::unique_ptr<Control>> Owned_;
    ControlRegistry Registry_;
    std::unique_ptr<FontSet> Fonts_;
    UINT Dpi_ = 96;
    layout::LayoutMetrics Metrics_;
    layout::WindowLayout Layout_;
};

} // namespace zelo::win32
