#pragma once
// The modal boxes, the file dialogs and the password prompt of the Windows view: MessageBoxW (a task dialog
// for the buttons no message box has), GetOpenFileNameW, GetSaveFileNameW, and a small dialog made from a
// template in memory.
#include "window/Dialogs.h"
#include "window/win32/Win32Api.h"

#include <string>

namespace zelo::win32 {

class Win32Dialogs : public Dialogs {
public:
    // The window the boxes belong to: it is disabled while a box is up. Null before the window exists.
    void SetOwner(HWND owner) { Owner_ = owner; }
    HWND Owner() const { return Owner_; }

    int MessageBox(const std::string& text, const std::string& title, int flags,
                   const std::string& detail = {}) override;
    std::optional<std::string> OpenFile(const std::string& filter, const std::string& folder = {}) override;
    std::optional<std::string> SaveFile(const std::string& filter, const std::string& folder,
                                        const std::string& name) override;
    std::optional<std::string> AskPassword(const std::string& prompt, const std::string& title) override;

private:
    HWND Owner_ = nullptr;
};

// The controls of the password prompt: the prompt's text (as a message box's text) and the masked field.
inline constexpr int PasswordPromptId = 0xFFFF;
inline constexpr int PasswordFieldId = 100;

// A message box has no details button: the detail follows the text after an empty line.
std::string MessageBoxText(const std::string& text, const std::string& detail);
// "Description (*.ext)|*.ext|..." as the open-file dialog takes it: pairs of zero-terminated texts, ended by
// an empty one.
std::wstring OpenFileFilter(const std::string& filter);
// The extension of the filter's first pattern ("txt" for "...|*.txt|..."), empty for none or "*".
std::string FirstExtension(const std::string& filter);

} // namespace zelo::win32
