#include "device/EibConverter.h"
#include "version/VersionInfo.h"
#include "window/qt/QtDialogs.h"
#include "window/qt/QtMainWindow.h"
#include "window/qt/ZeloApplication.h"

#include <memory>

int main(int argc, char** argv) {
    zelo::ZeloApplication app(argc, argv);
    zelo::QtDialogs dialogs;
    app.SetDialogs(&dialogs);
    try {
        zelo::ReadVersionInfo();
        auto window =
            std::make_unique<zelo::QtMainWindow>(dialogs, zelo::SettingsFileName(zelo::ExecutablePath()));
        dialogs.SetParent(window.get());
        window->show();
        app.exec();
        dialogs.SetParent(nullptr);
        window.reset();
    } catch (...) {
        app.ShowCurrentException();
    }
    return 0;
}
