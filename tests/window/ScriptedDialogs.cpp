#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace zelo::test {

int ScriptedDialogs::MessageBox(const std::string& text, const std::string& title, int flags,
                                const std::string& detail) {
    Boxes.push_back({text, title, flags, detail, box::DefaultAnswer(flags)});
    if (OnBox) {
        const ShownBox shown = Boxes.back(); // the handler may show more
        OnBox(shown);
    }
    if (Ended)
        return box::EndingAnswer(flags);
    if ((flags & 0x0F) == box::Ok)
        return box::IdOk;
    if (Answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << text;
        return box::IdNo;
    }
    const int answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDialogs::OpenFile(const std::string& filter, const std::string& folder) {
    Filters.push_back(filter);
    Folders.push_back(folder);
    if (Files.empty())
        return std::nullopt;
    auto file = Files.front();
    Files.pop_front();
    return file;
}

std::optional<std::string> ScriptedDialogs::SaveFile(const std::string& filter, const std::string& folder,
                                                     const std::string& name) {
    Saves.push_back({filter, folder, name});
    if (SaveNames.empty())
        return std::nullopt;
    auto file = SaveNames.front();
    SaveNames.pop_front();
    return file;
}

std::optional<std::string> ScriptedDialogs::AskPassword(const std::string& prompt, const std::string& title) {
    Prompts.push_back({prompt, title});
    if (Passwords.empty()) {
        ADD_FAILURE() << "unscripted password prompt: " << prompt;
        return std::nullopt;
    }
    auto password = Passwords.front();
    Passwords.pop_front();
    return password;
}

} // namespace zelo::test
