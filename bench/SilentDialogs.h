#pragma once
// The benchmarks' boxes: a run that meets a box or a password prompt it did not plan for ends at once, as
// its figures would be a user's waiting; file dialogs are cancelled.
#include "window/Dialogs.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

class SilentDialogs : public zelo::Dialogs {
public:
    int MessageBox(const std::string& text, const std::string&, int, const std::string&) override {
        std::fprintf(stderr, "unexpected box: %s\n", text.c_str());
        std::exit(1);
    }
    std::optional<std::string> OpenFile(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> SaveFile(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::optional<std::string> AskPassword(const std::string& prompt, const std::string&) override {
        std::fprintf(stderr, "unexpected password prompt: %s\n", prompt.c_str());
        std::exit(1);
    }
};
