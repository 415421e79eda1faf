#pragma once
#include "window/Dialogs.h"
#include "window/StandardError.h"

#include <QApplication>
#include <QTranslator>

namespace zelo {

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
    // Chooses the window's language from the environment (done at start) and gives Qt's own dialogs and
    // buttons the same one, where Qt's translations are installed.
    void ChooseLanguage();

private:
    Dialogs* Boxes = nullptr;
    QTranslator QtTexts;
};

} // namespace zelo
