#pragma once
// The window's boxes for tests: every box is recorded and answered from a script; no real box ever opens.
#include "window/Dialogs.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zelo::test {

struct ShownBox {
    std::string Text;
    std::string Title;
    int Flags = 0;
    std::string Detail;
    int Default = 0; // the answer of the default button (what Return presses)
};

struct ShownPrompt {
    std::string Prompt;
    std::string Title;
};

// A question or a password prompt nobody scripted is a test failure (answered No, or cancelled).
class ScriptedDialogs : public Dialogs {
public:
    int MessageBox(const std::string& text, const std::string& title, int flags,
                   const std::string& detail = {}) override;
    std::optional<std::string> OpenFile(const std::string& filter, const std::string& folder = {}) override;
    std::optional<std::string> SaveFile(const std::string& filter, const std::string& folder,
                                        const std::string& name) override;
    std::optional<std::string> AskPassword(const std::string& prompt, const std::string& title) override;
    // From here on every box gets box::EndingAnswer.
    void EndQuestions() override { Ended = true; }
    bool Ended = false;
    // Runs while each box is open, before it is answered.
    std::function<void(const ShownBox&)> OnBox;

    std::vector<ShownBox> Boxes;
    std::deque<int> Answers;
    // The open-file dialogs: filter and starting folder of each, and the files chosen in turn (none: Cancel).
    std::vector<std::string> Filters;
    std::vector<std::string> Folders;
    std::deque<std::optional<std::string>> Files;
    // The save dialogs: what each offered, and the names chosen in turn (none: Cancel).
    struct SaveRequest {
        std::string Filter;
        std::string Folder;
        std::string Name;
    };
    std::vector<SaveRequest> Saves;
    std::deque<std::optional<std::string>> SaveNames;
    std::vector<ShownPrompt> Prompts;
    std::deque<std::optional<std::string>> Passwords; // nullopt: Cancel
};

} // namespace zelo::test
