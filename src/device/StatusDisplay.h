#pragma once
// Where the driver shows how a download goes: a status label and a progress gauge. The window's controls
// implement these directly; zeloctl and the tests give their own.
#include <string>

namespace zelo {

// A label; RepaintNow shows a new text at once, even while a handler still runs.
class ILabel {
public:
    virtual ~ILabel() = default;
    virtual void SetText(const std::string& text) = 0; // UTF-8
    virtual void RepaintNow() = 0;
};

// A horizontal bar gauge that shows its percentage.
class IGauge {
public:
    virtual ~IGauge() = default;
    virtual void SetMinimum(int value) = 0;
    virtual void SetMaximum(int value) = 0;
    virtual void SetPosition(int value) = 0;
    virtual void RepaintNow() = 0;
};

} // namespace zelo
