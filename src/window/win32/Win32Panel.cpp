#include "window/win32/Win32Panel.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace zelo::win32 {

namespace {

const wchar_t* const PanelClass = L"ZeloPanel";

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (const std::optional<LRESULT> reflected = Control::Reflect(message, wParam, lParam))
        return *reflected;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterPanelClass() {
    static const bool registered = RegisterWindowClass(PanelClass, PanelProc);
    (void)registered;
}

} // namespace

void Panel::Create(HWND parent, int id) {
    RegisterPanelClass();
    Control::Create(PanelClass, {}, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, parent, id);
}

bool Panel::Enabled() const {
    return Handle() != nullptr && !Disabled_;
}

void Panel::SetEnabled(bool enabled) {
    if (Handle() == nullptr || enabled == !Disabled_)
        return;
    if (!enabled) {
        // A disabled window's children would still be drawn as usable: they are disabled too.
        for (HWND child = ::GetWindow(Handle(), GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            Own_.emplace_back(child, ::IsWindowEnabled(child) != FALSE);
            ::EnableWindow(child, FALSE);
        }
        Disabled_ = true;
        ::EnableWindow(Handle(), FALSE);
        return;
    }
    Disabled_ = false;
    ::EnableWindow(Handle(), TRUE);
    for (const auto& [child, own] : std::exchange(Own_, {}))
        if (::IsWindow(child))
            ::EnableWindow(child, own ? TRUE : FALSE);
}

Panel* Panel::DisabledAround(HWND control) {
    if (control == nullptr)
        return nullptr;
    auto* panel = dynamic_cast<Panel*>(Control::Of(::GetParent(control)));
    return panel != nullptr && panel->Disabled_ ? panel : nullptr;
}

bool Panel::OwnState(HWND control) const {
    for (const auto& [child, own] : Own_)
        if (child == control)
            return own;
    return ::IsWindowEnabled(control) != FALSE;
}

void Panel::KeepState(HWND control, bool enabled) {
    for (auto& [child, own] : Own_)
        if (child == control) {
            own = enabled;
            return;
        }
    Own_.emplace_back(control, enabled);
}

} // namespace zelo::win32
