#include "app/ZeloApplication.h"
#include "app/QtDialogs.h"

#include <exception>

namespace zelo {

std::string StandardErrorText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

void ShowStandardError(Dialogs& dialogs, const std::string& message) {
    dialogs.MessageBox(StandardErrorText(message), ApplicationTitle, box::Ok | box::IconError);
}

ZeloApplication::ZeloApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The name, not the display name: a display name would be appended to every window caption.
    setApplicationName(QString::fromLatin1(ApplicationTitle));
}

ZeloApplication* ZeloApplication::Instance() {
    return dynamic_cast<ZeloApplication*>(QCoreApplication::instance());
}

void ZeloApplication::ShowCurrentException() {
    static QtDialogs fallback;
    Dialogs& dialogs = Boxes ? *Boxes : fallback;
    // Errors of the standard library count as the system's own; anything else carries no message.
    try {
        throw;
    } catch (const std::exception& error) {
        ShowStandardError(dialogs, error.what());
    } catch (...) {
        ShowStandardError(dialogs, {});
    }
}

bool ZeloApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}

} // namespace zelo
