#pragma once
#include "window/win32/Win32Control.h"

#include <utility>
#include <vector>

namespace zelo::win32 {

// A plain panel that holds controls; disabling it makes everything inside unusable, and drawn so, while each
// control keeps its own state: the controls inside are disabled with it and get their own states back.
class Panel : public ControlFor<IContainer> {
public:
    void Create(HWND parent, int id);
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    // The panel that holds a control while it is disabled, or null.
    static Panel* DisabledAround(HWND control);
    // The own state of a control inside, kept while the panel is disabled.
    bool OwnState(HWND control) const;
    void KeepState(HWND control, bool enabled);

private:
    std::vector<std::pair<HWND, bool>> Own_; // filled while the panel is disabled
    bool Disabled_ = false;
};

} // namespace zelo::win32
