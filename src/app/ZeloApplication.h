#pragma once
#include "window/Dialogs.h"

#include <QApplication>
#include <string>

namespace zelo {

// The taskbar text and the caption of the standard error display; the window caption says KNX instead.
inline constexpr const char* ApplicationTitle = "ZELO-EIB-ASCII Configurator";

// The standard error display: the message with a full stop added when its last character sorts after one,
// an error icon, an OK button, titled with the application title.
void ShowStandardError(Dialogs& dialogs, const std::string& message);
std::string StandardErrorText(const std::string& message);

// The application object: an exception that escapes an event handler reaches the standard error display here
// and the program goes on.
class ZeloApplication : public QApplication {
public:
    ZeloApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    void SetDialogs(Dialogs* dialogs) { Boxes = dialogs; }
    // Shows the exception being handled (call from a catch block).
    void ShowCurrentException();
    static ZeloApplication* Instance();

private:
    Dialogs* Boxes = nullptr;
};

// Runs a window handler; what it lets through goes to the standard error display right there, rather than
// unwinding through the toolkit's event code.
template <typename Handler> void Guarded(Handler&& handler) {
    try {
        handler();
    } catch (...) {
        ZeloApplication* app = ZeloApplication::Instance();
        if (app == nullptr)
            throw;
        app->ShowCurrentException();
    }
}

} // namespace zelo
