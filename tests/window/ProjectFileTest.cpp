// ETS project files through the window: the password asked for when the project is protected, asked again
// after a wrong one, Cancel changing nothing; the project's addresses offered like an export's.
#include "../project/ProjectWriter.h"
#include "FakeWindow.h"
#include "ImportSupport.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

using Passwords = std::vector<std::optional<std::string>>;
const std::string Right = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1"; // Greek, as a user may choose it
const std::string Needed = "This project is protected by a password.\nEnter the password of home.knxproj:";
const std::string Wrong = "Wrong project password.\nEnter the password of home.knxproj:";

// Two bit addresses that join, one without a type, one in main group 17.
std::string Project(ZipEncryption protection) {
    TestProject project;
    project.Addresses = {{0x0901, "Hall", "DPST-1-1"},
                         {0x0902, "Kitchen", "DPST-1-1"},
                         {0x0A00, "Spare", ""},
                         {0x8803, "Far", "DPST-1-1"}};
    project.Protection = protection;
    project.Password = Right;
    return ProjectFile(project);
}

TEST(ProjectFile, PasswordAskedAgainAfterAWrongOneAndCancelChangesNothing) {
    const struct {
        const char* Name;
        ZipEncryption Protection;
        Passwords Given; // the user's answers to the prompts, nullopt for Cancel
        std::vector<std::string> Prompts;
        bool Imported;
    } cases[] = {
        {"unprotected", ZipEncryption::None, {}, {}, true},
        {"AES, right at once", ZipEncryption::WinZipAes, {Right}, {Needed}, true},
        {"AES, wrong, then right", ZipEncryption::WinZipAes, {"test", Right}, {Needed, Wrong}, true},
        {"AES, empty, then right", ZipEncryption::WinZipAes, {"", Right}, {Needed, Needed}, true},
        {"ZipCrypto, wrong, then right", ZipEncryption::Traditional, {"test", Right}, {Needed, Wrong}, true},
        {"AES, Cancel", ZipEncryption::WinZipAes, {std::nullopt}, {Needed}, false},
        {"ZipCrypto, wrong, then Cancel",
         ZipEncryption::Traditional,
         {"x", std::nullopt},
         {Needed, Wrong},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FakeWindow w;
        const std::string status = w.labStatus.Value;
        w.Boxes.Passwords.assign(c.Given.begin(), c.Given.end());
        w.Boxes.Answers = {box::IdYes}; // import without the address in main group 17
        Import(w, Project(c.Protection), "home.knxproj");
        std::vector<std::string> prompts;
        for (const auto& prompt : w.Boxes.Prompts) {
            prompts.push_back(prompt.Prompt);
            EXPECT_EQ(prompt.Title, "Project password");
        }
        EXPECT_EQ(prompts, c.Prompts);
        EXPECT_TRUE(w.Boxes.Passwords.empty());
        EXPECT_FALSE(w.winMain.WaitCursor);
        if (!c.Imported) {
            EXPECT_TRUE(w.Boxes.Boxes.empty());
            EXPECT_EQ(ImportButtons(w), "IA");
            EXPECT_FALSE(w.Logic().Importing);
            EXPECT_EQ(w.labStatus.Value, status);
            EXPECT_EQ(w.Lines(), Lines{SetupLine0});
            continue;
        }
        // Main group 17 cannot be written: named by its address, since a project file has no lines.
        ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
        EXPECT_EQ(w.Boxes.Boxes[0].Text,
                  "1 address cannot be imported (first: group address 17/0/3 out of range (main 0-15, middle "
                  "0-7, sub 0-255)). Import the other addresses?");
        EXPECT_EQ(w.txtGrpAdrStart.Value, "1/1/1");
        EXPECT_EQ(w.txtGrpAdrEnd.Value, "1/1/2");
        EXPECT_EQ(w.EibDptList.CheckedRows(), std::vector<int>{1});
        EXPECT_EQ(w.labStatus.Value, "Importing data from ETS [Hall, datatype: \"DPST-1-1\"]...");
        w.Boxes.Answers = {box::IdYes}; // the spare address as other
        w.Click(w.btnAddAll);
        EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/2=BIT;RW", "#DG1/2/0=GENERIC;RW"}));
        ASSERT_EQ(w.Boxes.Boxes.size(), 3u);
        EXPECT_EQ(w.Boxes.Boxes[2].Text, "Finished import from ETS!\n\n2 ranges added, 0 ranges skipped.");
        const std::string protection = c.Protection == ZipEncryption::None ? "unprotected"
                                       : c.Protection == ZipEncryption::WinZipAes
                                           ? "protected with AES (ETS6)"
                                           : "protected with ZipCrypto "
                                             "(ETS4/5)";
        EXPECT_EQ(w.Boxes.Boxes[2].Detail.substr(0, w.Boxes.Boxes[2].Detail.find('\n')),
                  "ETS project file, schema 21, " + protection +
                      ": 3 addresses, 2 ranges; 1 untyped, 0 duplicates, 1 bad address.");
    }
}

} // namespace
