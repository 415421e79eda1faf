#pragma once
// Starting an import through the open-file dialog, and the import's buttons at a glance.
#include "FakeWindow.h"

#include <gtest/gtest.h>
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

// Every row of the datapoint list.
inline std::vector<int> AllRows() {
    std::vector<int> out;
    for (int i = 0; i < 17; ++i)
        out.push_back(i);
    return out;
}

// The window after an import has ended: the range entry back at 0/0/0, every type enabled and none checked.
inline void ExpectImportIdle(FakeWindow& w, const std::string& status) {
    EXPECT_EQ(ImportButtons(w), "IA");
    EXPECT_EQ(w.txtGrpAdrStart.Value, "0/0/0");
    EXPECT_EQ(w.txtGrpAdrEnd.Value, "0/0/0");
    EXPECT_EQ(w.EibDptList.EnabledRows(), AllRows());
    EXPECT_TRUE(w.EibDptList.CheckedRows().empty());
    EXPECT_EQ(w.labStatus.Value, status);
    EXPECT_FALSE(w.Logic().Importing);
}

} // namespace zelo::test
