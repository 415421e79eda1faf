#include "app/QtDialogs.h"
#include "app/TwinMain.h"
#include "app/ZeloApplication.h"
#include "os/Paths.h"
#include "version/VersionInfo.h"

#include <memory>

int main(int argc, char** argv) {
    zelo::ZeloApplication app(argc, argv);
    zelo::QtDialogs dialogs;
    app.SetDialogs(&dialogs);
    try {
        zelo::ReadVersionInfo();
        auto window =
            std::make_unique<zelo::TwinMain>(dialogs, zelo::os::SettingsFileName(zelo::os::ExecutablePath()));
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
