#include "os/Paths.h"
#include "window/qt/QtDialogs.h"
#include "window/qt/QtMainWindow.h"
#include "window/qt/ZeloApplication.h"

#include <QStringList>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    zelo::ZeloApplication app(argc, argv);
    zelo::QtDialogs dialogs;
    app.SetDialogs(&dialogs);
    // zelo-configurator [FILE]: a command list (or an ETS export) to open at start. Qt has taken its own
    // options out of the arguments.
    std::vector<std::string> files;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        files.push_back(arguments[i].toStdString());
    return zelo::RunConfigurator(dialogs, zelo::os::SettingsFileName(zelo::os::ExecutablePath()), files);
}
