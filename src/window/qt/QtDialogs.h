#pragma once
#include "window/Dialogs.h"

#include <QMessageBox>
#include <QPointer>
#include <memory>

class QWidget;

namespace zelo {

// Real modal boxes and the real file dialogs.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : Parent(parent) {}
    void SetParent(QWidget* parent) { Parent = parent; }
    int MessageBox(const std::string& text, const std::string& title, int flags,
                   const std::string& detail = {}) override;
    std::optional<std::string> OpenFile(const std::string& filter, const std::string& folder = {}) override;
    std::optional<std::string> SaveFile(const std::string& filter, const std::string& folder,
                                        const std::string& name) override;
    std::optional<std::string> AskPassword(const std::string& prompt, const std::string& title) override;
    void EndQuestions() override;

    // The box MessageBox shows, not shown yet: texts as plain text, the icon and buttons of flags.
    std::unique_ptr<QMessageBox> MakeBox(const std::string& text, const std::string& title, int flags,
                                         const std::string& detail) const;
    // The answer (box::Id...) for the button that ended a box.
    static int Answer(int button);

private:
    // Runs a dialog unless questions have ended; it is the one EndQuestions closes meanwhile.
    int Run(QDialog& dialog);
    QWidget* Parent;
    QPointer<QDialog> Open_;
    bool Ended_ = false;
};

// The password prompt's masked field, by its object name.
inline constexpr const char* PasswordFieldName = "password";

// "CSV File (*.csv)|*.csv" -> "CSV File (*.csv)": the descriptions carry the patterns already.
std::string QtFileFilter(const std::string& filter);
// The extension of the filter's first pattern ("txt" for "... |*.txt|..."), empty for none or "*".
std::string FirstExtension(const std::string& filter);

} // namespace zelo
