#pragma once
// The application's standard error display: what an error that no handler catches looks like.
#include "window/Dialogs.h"

#include <string>

namespace zelo {

// The taskbar text and the caption of the standard error display; the window caption says KNX instead.
inline constexpr const char* ApplicationTitle = "ZELO-EIB-ASCII Configurator";

// The message with a full stop added when its last character sorts after one.
std::string StandardErrorText(const std::string& message);
// A modal box with the message as StandardErrorText gives it, an error icon and an OK button, titled with the
// application title.
void ShowStandardError(Dialogs& dialogs, const std::string& message);
// Shows the exception being handled (call it from a catch block). The system's errors and the standard
// library's show their message; anything else shows an empty one.
void ShowCurrentException(Dialogs& dialogs);

// Runs a window handler; what it lets through is shown by the standard display right there, and the program
// goes on. No error unwinds into the toolkit's event code.
template <typename Handler> void Guarded(Dialogs& dialogs, Handler&& handler) {
    try {
        handler();
    } catch (...) {
        ShowCurrentException(dialogs);
    }
}

} // namespace zelo
