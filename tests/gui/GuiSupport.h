#pragma once
#include "Process.h"
#include "window/Dialogs.h"
#include "app/TwinMain.h"

#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace zelo::test {

struct ShownBox {
    std::string Text;
    std::string Title;
    int Flags = 0;
    std::string Detail;
};

// Records every box and answers it from a script; a question nobody scripted is a test failure.
class ScriptedDialogs : public Dialogs {
public:
    int MessageBox(const std::string& text, const std::string& title, int flags,
                   const std::string& detail = {}) override;
    std::optional<std::string> OpenFile(const std::string& filter) override;

    std::vector<ShownBox> Boxes;
    std::deque<int> Answers;
    std::vector<std::string> Filters;
    std::deque<std::optional<std::string>> Files;
};

// A window on its own settings file, with the scripted boxes installed for the window and the application.
class WindowHarness {
public:
    // settings: the settings file's content; nullopt for no file.
    explicit WindowHarness(const std::optional<std::string>& settings = std::nullopt);
    ~WindowHarness();
    WindowHarness(const WindowHarness&) = delete;
    WindowHarness& operator=(const WindowHarness&) = delete;

    TwinMain& Window() { return *Window_; }
    // Shows the window and waits until it is active, so focus moves deliver their events.
    void ShowActive();
    // Destroys the window (its FormDestroy runs) and returns the settings file's content.
    std::string Close();
    std::vector<std::string> Lines() const { return Window_->CommandLines(); }
    // Types into a field and moves the focus on, as the Tab key does.
    void Enter(const char* field, const QString& text);
    // Checks a datapoint type as the user does: a click on its check box.
    void ClickCheck(int row);
    void AddRange(const QString& start, const QString& end, int type);

    TempDir Dir;
    std::string SettingsPath;
    ScriptedDialogs Boxes;

private:
    std::unique_ptr<TwinMain> Window_;
};

template <typename W> W* Find(QWidget& window, const char* name) {
    return window.findChild<W*>(QString::fromLatin1(name));
}

} // namespace zelo::test
