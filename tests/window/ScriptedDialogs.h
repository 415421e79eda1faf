#pragma once
// The window's boxes for tests: every box is recorded and answered from a script; no real box ever opens.
#include "window/Dialogs.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace zelo::test {

struct ShownBox {
    std::string Text;
    std::string Title;
    int Flags = 0;
    std::string Detail;
};

// A question nobody scripted is a test failure (answered No).
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

} // namespace zelo::test
