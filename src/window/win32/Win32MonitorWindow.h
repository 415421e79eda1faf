#pragma once
// The monitor window's Windows view: a top-level window of its own with the monitor's controls, placed by the
// shared monitor layout, and a timer that hands the GUI thread to the logic's Tick.
#include "window/MonitorWindow.h"
#include "window/win32/Win32Buttons.h"
#include "window/win32/Win32EditField.h"
#include "window/win32/Win32Labels.h"

#include <memory>

namespace zelo::win32 {

// The lines in a list box: a line each, appended and dropped without redrawing in between.
class LineList : public ControlFor<ILineView> {
public:
    void Create(HWND parent, int id);
    void AppendLines(const std::vector<std::string>& lines) override;
    void RemoveFirstLines(int count) override;
    void ClearLines() override;
    int LineCount() const override;
    std::string LineText(int index) const override;

private:
    int Widest_ = 0; // the horizontal extent given so far, in pixels
};

// An edit field that reports every change of its text made by the user.
class FilterField : public EditField {
public:
    std::function<void()> OnChange;

protected:
    void Notified(int code) override;
};

class Win32MonitorWindow : private IMonitorForm {
public:
    explicit Win32MonitorWindow(Dialogs& dialogs);
    ~Win32MonitorWindow() override;
    Win32MonitorWindow(const Win32MonitorWindow&) = delete;
    Win32MonitorWindow& operator=(const Win32MonitorWindow&) = delete;

    MonitorWindow& Logic() { return *Logic_; }
    HWND Handle() const { return Handle_; }
    LineList& Lines() { return Lines_; }
    FilterField& Filter() { return Filter_; }
    CheckBox& Pause() { return Pause_; }
    Button& SaveLog() { return SaveLog_; }

private:
    template <typename Owner> friend LRESULT CALLBACK OwnedWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam);
    void Show() override;
    void SetCaption(const std::string& caption) override;
    void SetTicking(bool on) override;
    void ApplyLayout();

    HWND Handle_ = nullptr;
    std::unique_ptr<FontSet> Fonts_;
    LineList Lines_;
    FilterField Filter_;
    CheckBox Pause_;
    Button Clear_;
    Button SaveLog_;
    Button Names_;
    Label Count_;
    Label Status_;
    std::unique_ptr<MonitorWindow> Logic_;
};

} // namespace zelo::win32
