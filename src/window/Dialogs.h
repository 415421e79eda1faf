#pragma once
// The window's modal boxes, its file dialogs and its password prompt behind one interface, so tests can
// answer them.
#include <optional>
#include <string>

namespace zelo {

// Box flags as the Windows message box takes them: buttons in the low four bits, the icon above.
namespace box {
inline constexpr int Ok = 0;
inline constexpr int OkCancel = 1;
inline constexpr int YesNoCancel = 3;
inline constexpr int YesNo = 4;
// Yes, Yes to all, No, No to all (no Windows message box has these: the Windows view draws its own).
inline constexpr int YesNoToAll = 8;
inline constexpr int IconError = 16;
inline constexpr int IconQuestion = 32;
inline constexpr int IconWarning = 48;
inline constexpr int IconInformation = 64;
// No is the default button (what Return presses), as MB_DEFBUTTON2 makes it in a Yes/No box: for questions
// whose Yes cannot be undone. Without it the first button is the default.
inline constexpr int DefaultNo = 0x100;
// Answers
inline constexpr int IdOk = 1;
inline constexpr int IdCancel = 2;
inline constexpr int IdYes = 6;
inline constexpr int IdNo = 7;
inline constexpr int IdYesToAll = 12;
inline constexpr int IdNoToAll = 13;

// The answer the default button gives: No where the flags say so and the box has a No, else the first button.
constexpr int DefaultAnswer(int flags) {
    const int buttons = flags & 0x0F;
    const bool hasNo = buttons == YesNo || buttons == YesNoCancel || buttons == YesNoToAll;
    if ((flags & DefaultNo) != 0 && hasNo)
        return IdNo;
    return buttons == Ok || buttons == OkCancel ? IdOk : IdYes;
}

// How a box is closed when nobody can answer it any more: Cancel where it has one, else No, else OK.
constexpr int EndingAnswer(int flags) {
    switch (flags & 0x0F) {
    case OkCancel:
    case YesNoCancel:
        return IdCancel;
    case YesNo:
    case YesNoToAll:
        return IdNo;
    default:
        return IdOk;
    }
}
} // namespace box

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a modal box and returns the button pressed. Texts are UTF-8; detail, when not empty, is offered
    // behind the box's details button (the operating system's reason for a failure, for instance).
    virtual int MessageBox(const std::string& text, const std::string& title, int flags,
                           const std::string& detail = {}) = 0;
    // Asks for an existing file; filter in the "Description (*.ext)|*.ext" form, several such pairs joined by
    // "|" (the first is chosen at first); the dialog starts in folder (the system's choice when empty). The
    // path in UTF-8; nothing when cancelled.
    virtual std::optional<std::string> OpenFile(const std::string& filter,
                                                const std::string& folder = {}) = 0;
    // Asks for a file to write, offering name in folder; a name typed without an extension gets the filter's
    // first one, and an existing file is only taken once the user agreed to replace it. Nothing when
    // cancelled.
    virtual std::optional<std::string> SaveFile(const std::string& filter, const std::string& folder,
                                                const std::string& name) = 0;
    // Asks for a password in a modal box with one masked line, the prompt above it and OK and Cancel. The
    // password as typed (UTF-8, possibly empty) on OK; nothing on Cancel.
    virtual std::optional<std::string> AskPassword(const std::string& prompt, const std::string& title) = 0;
    // Nobody can be asked any more (the program is ended from outside): the box open now is closed as
    // box::EndingAnswer says (a dialog cancelled), and every later one gives that answer at once.
    virtual void EndQuestions() {}
};

class IForm;

// A box of the main window's own, titled with the window's caption as it stands.
int WindowBox(Dialogs& dialogs, const IForm& form, const std::string& text, int flags,
              const std::string& detail = {});

} // namespace zelo
