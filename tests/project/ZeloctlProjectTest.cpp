// zeloctl import of project files end to end: passwords given, wrong, missing and from a file; main groups 16
// to 31; every real project, and a protected one and its unprotected twin giving the same lines.
#include "Process.h"
#include "ProjectWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

using namespace zelo;
using namespace zelo::test;

namespace {

ProcessResult Zeloctl(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), BuiltProgram("zeloctl"));
    return RunProcess(args, input);
}

const std::string Program = "M-0083_A-0001-11-ABCD";
// Greek letters and an emoji: no single-byte code page holds them.
const std::string Password = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xF0\x9F\x98\x80";

// Two switches typed themselves, a dimmer typed by its object, and an address in main group 17.
TestProject Project(ZipEncryption protection) {
    TestProject project;
    project.Schema = 23;
    project.Protection = protection;
    project.Password = Password;
    project.Addresses = {{0x0901, "Licht", "DPST-1-1"},
                         {0x0902, "Licht 2", "DPT-1"},
                         {0x0903, "Dimmer", ""},
                         {0x8A03, "Hoch", "DPST-1-1"}};
    project.Devices = {{"M-0083_H-1-1_HP-0001-11-ABCD", {{"O-1_R-1", "", {2}}}}};
    project.Files = {
        {"M-0083/" + Program + ".xml", ProgramXml(23, {{Program + "_O-1", "DPST-5-1", "1 Byte", ""}},
                                                  {{Program + "_O-1_R-1", "", "", Program + "_O-1"}})}};
    return project;
}

const std::string Lines = "#DG1/1/1-1/1/2=BIT;RW\n#DG1/1/3=PERCENT;RW\n";
const std::string Bad = "group address 17/2/3 out of range (main 0-15, middle 0-7, sub 0-255)";

} // namespace

TEST(ZeloctlProject, PasswordsAndBadAddresses) {
    TempDir dir;
    const std::string aes = dir.Write("aes.knxproj", ProjectFile(Project(ZipEncryption::WinZipAes)));
    const std::string zipCrypto = dir.Write("zc.knxproj", ProjectFile(Project(ZipEncryption::Traditional)));
    const std::string open = dir.Write("open.knxproj", ProjectFile(Project(ZipEncryption::None)));
    const std::string passwordFile = dir.Write("pw.txt", "\xEF\xBB\xBF" + Password + "\r\nsecond line\r\n");
    const std::string wrongFile = dir.Write("wrong.txt", Password + " \n");
    const std::string summary = " 3 addresses, 2 ranges; 0 untyped skipped, 0 duplicates, 1 bad address.\n";
    const struct {
        std::vector<std::string> Args;
        std::string Input;
        int ExitCode;
        std::string Out, Err;
    } cases[] = {
        {{"import", "--skip-bad", "--password", Password, aes},
         "",
         0,
         Lines,
         "warning: " + Bad + "\nETS project file, schema 23, protected with AES (ETS6):" + summary},
        {{"import", "--skip-bad", "--password", Password, zipCrypto},
         "",
         0,
         Lines,
         "warning: " + Bad + "\nETS project file, schema 23, protected with ZipCrypto (ETS4/5):" + summary},
        {{"import", "--skip-bad", "--password-file", passwordFile, aes}, "", 0, Lines, ""},
        {{"import", "--skip-bad", "--password-file", "-", aes}, Password + "\n", 0, Lines, ""},
        {{"import", "--skip-bad", "--password", Password, "-"}, ReadFileBytes(zipCrypto), 0, Lines, ""},
        {{"import", "--skip-bad", "--setup", open},
         "",
         0,
         "#SETUP=15.15.255;OFF;OFF;OFF\n" + Lines,
         "warning: " + Bad + "\nETS project file, schema 23, unprotected:" + summary},
        {{"import", open},
         "",
         2,
         "",
         "1 address cannot be imported:\n" + Bad + "\nWith --skip-bad the other addresses are imported.\n"},
        {{"import", "--skip-bad", aes}, "", 2, "", "This project is protected by a password.\n"},
        {{"import", "--skip-bad", "--password", "", aes},
         "",
         2,
         "",
         "This project is protected by a password.\n"},
        {{"import", "--skip-bad", "--password", "test", aes}, "", 2, "", "Wrong project password.\n"},
        {{"import", "--skip-bad", "--password", "test", zipCrypto}, "", 2, "", "Wrong project password.\n"},
        {{"import", "--skip-bad", "--password-file", wrongFile, aes}, "", 2, "", "Wrong project password.\n"},
        {{"import", "--skip-bad", "--password-file", dir.File("none.txt"), aes},
         "",
         2,
         "",
         "Can't read " + dir.File("none.txt") + ": No such file or directory\n"},
        {{"import", "--password-file", "-", "-"},
         "",
         2,
         "",
         "The password file and the project file cannot both be standard input.\n"},
        {{"import", "--password", "a", "--password-file", passwordFile, aes}, "", 2, "", ""},
    };
    for (const auto& c : cases) {
        const ProcessResult r = Zeloctl(c.Args, c.Input);
        const std::string what = c.Args[c.Args.size() - 2] + " " + c.Args.back();
        EXPECT_EQ(r.ExitCode, c.ExitCode) << what << "\n" << r.Err;
        EXPECT_EQ(r.Out, c.Out) << what;
        if (!c.Err.empty()) {
            EXPECT_EQ(r.Err, c.Err) << what;
        }
    }
}

TEST(ZeloctlProject, EveryRealProjectImports) {
    const std::filesystem::path samples = ZELO_SOURCE_DIR "/../shared/knxproj-samples";
    if (!std::filesystem::is_directory(samples))
        GTEST_SKIP() << "no " << samples;
    // Protected where SOURCES.md says so, with the password given there.
    const std::vector<std::string> protectedOnes = {"smart_linking", "test_project-ets4", "testprojekt-ets6",
                                                    "xknx_test_project"};
    std::map<std::string, std::string> lines;
    int projects = 0;
    for (const auto& entry : std::filesystem::directory_iterator(samples)) {
        if (entry.path().extension() != ".knxproj")
            continue;
        ++projects;
        const std::string name = entry.path().stem().string();
        const bool isProtected =
            std::find(protectedOnes.begin(), protectedOnes.end(), name) != protectedOnes.end();
        std::vector<std::string> args = {"import", "--unknown", "other", entry.path().string()};
        if (isProtected) {
            args.insert(args.begin() + 1, {"--password", "test"});
            EXPECT_EQ(Zeloctl({"import", entry.path().string()}).Err,
                      "This project is protected by a password.\n")
                << name;
        }
        const ProcessResult r = Zeloctl(args);
        EXPECT_EQ(r.ExitCode, 0) << name << "\n" << r.Err;
        EXPECT_NE(r.Out, "") << name;
        EXPECT_TRUE(
            std::regex_search(r.Err, std::regex("ETS project file, schema \\d+, " +
                                                std::string(isProtected ? "protected" : "unprotected"))))
            << name << "\n"
            << r.Err;
        // As many addresses as the other reader found.
        const std::filesystem::path expected = samples / "expected" / (name + ".json");
        if (std::filesystem::exists(expected)) {
            const std::string json = ReadFileBytes(expected.string());
            int count = 0;
            for (std::size_t at = json.find("\"raw_address\""); at != std::string::npos;
                 at = json.find("\"raw_address\"", at + 1))
                ++count;
            EXPECT_NE(r.Err.find(": " + std::to_string(count) + " addresses,"), std::string::npos)
                << name << r.Err;
        }
        EXPECT_EQ(Zeloctl({"check", "-"}, r.Out).ExitCode, 0) << name;
        lines[name] = r.Out;
    }
    EXPECT_EQ(projects, 9);
    // The protected ETS4 project and its unprotected twin are the same project.
    EXPECT_EQ(lines["test_project-ets4"], lines["test_project-ets4-no_password"]);
}
