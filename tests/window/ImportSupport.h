#pragma once
// Starting an import through the open-file dialog, and the import's buttons at a glance.
#include "FakeWindow.h"

#include <string>

namespace zelo::test {

// Starts an import of the given file content: the dialog offers the file, Import is clicked.
inline void Import(FakeWindow& w, const std::string& content, const std::string& name = "export.csv") {
    w.Boxes.Files.push_back(w.Dir.Write(name, content));
    w.Click(w.btnImport);
}

// The letters of the buttons the user can press: "I" import, "G" ignore, "B" abort, "A" add, "L" add all.
inline std::string ImportButtons(const FakeWindow& w) {
    std::string out;
    for (const auto& [button, letter] : {std::pair{&w.btnImport, 'I'},
                                         {&w.btnIgnore, 'G'},
                                         {&w.btnAbort, 'B'},
                                         {&w.btnAdd, 'A'},
                                         {&w.btnAddAll, 'L'}})
        if (w.Usable(button->Id))
            out += letter;
    return out;
}

} // namespace zelo::test
