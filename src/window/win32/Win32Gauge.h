#pragma once
#include "window/win32/Win32Control.h"

namespace zelo::win32 {

// The percentage a gauge shows: 0 for an empty range, the position held inside the range.
int GaugePercent(int minimum, int maximum, int position);

// A horizontal bar gauge, black on white, with its percentage done in the middle.
class Gauge : public Control, public IGauge {
public:
    void Create(HWND parent, int id);
    void SetMinimum(int value) override;
    void SetMaximum(int value) override;
    void SetPosition(int value) override;
    int Minimum() const { return Minimum_; }
    int Maximum() const { return Maximum_; }
    int Position() const { return Position_; }
    int Percent() const { return GaugePercent(Minimum_, Maximum_, Position_); }
    void RepaintNow() override;

protected:
    bool Draw(const DRAWITEMSTRUCT& item) override;

private:
    void Changed();
    int Minimum_ = 0;
    int Maximum_ = 100;
    int Position_ = 0;
};

} // namespace zelo::win32
