#pragma once
#include "window/Dialogs.h"

class QWidget;

namespace zelo {

// Real modal boxes and the real file dialog.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : Parent(parent) {}
    void SetParent(QWidget* parent) { Parent = parent; }
    int MessageBox(const std::string& text, const std::string& title, int flags,
                   const std::string& detail = {}) override;
    std::optional<std::string> OpenFile(const std::string& filter) override;
    std::optional<std::string> AskPassword(const std::string& prompt, const std::string& title) override;

private:
    QWidget* Parent;
};

// The password prompt's masked field, by its object name.
inline constexpr const char* PasswordFieldName = "password";

// "CSV File (*.csv)|*.csv" -> "CSV File (*.csv)": the descriptions carry the patterns already.
std::string QtFileFilter(const std::string& filter);

} // namespace zelo
