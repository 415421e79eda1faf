#pragma once
#include "window/Dialogs.h"
#include "window/StandardError.h"

#include <QApplication>

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

private:
    Dialogs* Boxes = nullptr;
};

} // namespace zelo
