#pragma once
// The Qt view on its own settings file, with scripted boxes for the window and the application.
#include "../window/ScriptedDialogs.h"
#include "Process.h"
#include "window/qt/QtMainWindow.h"

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zelo::test {

class ViewHarness {
public:
    // settings: the settings file's content; nullopt for no file. The system reports the serial devices
    // of Ports, none at first.
    explicit ViewHarness(const std::optional<std::string>& settings = std::nullopt);
    ~ViewHarness();
    ViewHarness(const ViewHarness&) = delete;
    ViewHarness& operator=(const ViewHarness&) = delete;

    QtMainWindow& Window() { return *Window_; }
    TwinMain& Logic() { return Window_->Logic(); }
    // Shows the window and waits until it is active, so focus moves deliver their events.
    void ShowActive();
    // Destroys the window (FormDestroy runs) and returns the settings file's content.
    std::string Close();
    std::vector<std::string> Lines() { return Logic().Document().Lines(); }
    // Types into a field and moves the focus on with the Tab key.
    void Enter(const char* field, const QString& text);
    // Checks a datapoint type as the user does: a click on its check box.
    void ClickCheck(int row);
    void Click(const char* button);

    template <typename W> W* Find(const char* name) {
        return Window_->findChild<W*>(QString::fromLatin1(name));
    }

    TempDir Dir;
    std::string SettingsPath;
    ScriptedDialogs Boxes;
    std::vector<os::PortInfo> Ports;

private:
    std::unique_ptr<QtMainWindow> Window_;
};

} // namespace zelo::test
