// zeloctl import of project files end to end: passwords given, wrong, missing and from a file; main groups 16
// to 31; every real project, and a protected one and its unprotected twin giving the same lines.
#include "Process.h"
#include "ProjectWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace zelo;
using namespace zelo::test;

namespace {

// Greek letters and an emoji: no single-byte code page holds them.
const std::string Password = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xF0\x9F\x98\x80";

std::string Project(ZipEncryption protection) {
    TestProject project = SampleProject(23);
    project.Protection = protection;
    project.Password = Password;
    return ProjectFile(project);
}

const std::string Lines = "#DG1/1/1-1/1/2=BIT;RW\n#DG1/1/3=PERCENT;RW\n";
const std::string Bad = "group address 17/2/3 out of range (main 0-15, middle 0-7, sub 0-255)";

} // namespace

TEST(ZeloctlProject, PasswordsAndBadAddresses) {
    TempDir dir;
    const std::string aes = dir.Write("aes.knxproj", Project(ZipEncryption::WinZipAes));
    const std::string zipCrypto = dir.Write("zc.knxproj", Project(ZipEncryption::Traditional));
    const std::string open = dir.Write("open.knxproj", Project(ZipEncryption::None));
    const std::string passwordFile = dir.Write("pw.txt", "\xEF\xBB\xBF" + Password + "\r\nsecond line\r\n");
    const std::string wrongFile = dir.Write("wrong.txt", Password + " \n");
    const std::string summary = " 3 addresses, 2 ranges; 0 untyped skipped, 0 duplicates, 1 bad address.\n";
    const std::string warning = "warning: " + Bad + "\nETS project file, schema 23, ";
    const std::string aesRead = warning + "protected with AES (ETS6):" + summary;
    const std::string zipCryptoRead = warning + "protected with ZipCrypto (ETS4/5):" + summary;
    const std::string openRead = warning + "unprotected:" + summary;
    const std::string refused =
        "1 address cannot be imported:\n" + Bad + "\nWith --skip-bad the other addresses are imported.\n";
    const std::string locked = "This project is protected by a password.\n";
    const std::string wrong = "Wrong project password.\n";
    const std::string none = dir.File("none.txt");
    const std::string noFile = "Can't read " + none + ": No such file or directory\n";
    const std::string bothStdin = "The password file and the project file cannot both be standard input.\n";
    const std::string setup = "#SETUP=15.15.255;OFF;OFF;OFF\n";
    TestProject empty = SampleProject(23);
    empty.Addresses.clear();
    const std::string noAddresses = dir.Write("empty.knxproj", ProjectFile(empty));
    TestProject unreadable = SampleProject(23);
    unreadable.Addresses = {{2305, "Licht", "DPST-1-1"}, {2306, "Kaputt", "", true}};
    const std::string withoutAddress = dir.Write("unreadable.knxproj", ProjectFile(unreadable));
    const std::string whole = ReadFileBytes(open);
    const std::string cut = dir.Write("cut.knxproj", whole.substr(0, whole.size() / 2));
    const struct {
        std::vector<std::string> Args; // of import
        std::string Input;
        int ExitCode;
        std::string Out, Err;
    } cases[] = {
        {{"--skip-bad", "--password", Password, aes}, "", 0, Lines, aesRead},
        {{"--skip-bad", "--password", Password, zipCrypto}, "", 0, Lines, zipCryptoRead},
        {{"--skip-bad", "--password-file", passwordFile, aes}, "", 0, Lines, ""},
        {{"--skip-bad", "--password-file", "-", aes}, Password + "\n", 0, Lines, ""},
        {{"--skip-bad", "--password", Password, "-"}, ReadFileBytes(zipCrypto), 0, Lines, ""},
        {{"--skip-bad", "--setup", open}, "", 0, setup + Lines, openRead},
        {{open}, "", 2, "", refused},
        {{"--skip-bad", aes}, "", 2, "", locked},
        {{"--skip-bad", "--password", "", aes}, "", 2, "", locked},
        {{"--skip-bad", "--password", "test", aes}, "", 2, "", wrong},
        {{"--skip-bad", "--password", "test", zipCrypto}, "", 2, "", wrong},
        {{"--skip-bad", "--password-file", wrongFile, aes}, "", 2, "", wrong},
        {{"--skip-bad", "--password-file", none, aes}, "", 2, "", noFile},
        {{"--password-file", "-", "-"}, "", 2, "", bothStdin},
        {{"--password", "a", "--password-file", passwordFile, aes}, "", 2, "", ""},
        {{noAddresses}, "", 2, "", "The ETS project Test holds no group addresses.\n"},
        {{withoutAddress},
         "",
         2,
         "",
         "1 address cannot be imported:\nGroup address \"Kaputt\" (P-0001-0_GA-2): no address\n"
         "With --skip-bad the other addresses are imported.\n"},
        {{cut}, "", 2, "", "The ETS project file is damaged: it has no end of central directory record.\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.Args;
        args.insert(args.begin(), "import");
        const ProcessResult r = Zeloctl(args, c.Input);
        const std::string what = args[args.size() - 2] + " " + args.back();
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
        // Refusals without the password and the addresses read are ProjectArchive.RealProjects' to check.
        std::vector<std::string> args = {"import", "--unknown", "other", entry.path().string()};
        if (isProtected)
            args.insert(args.begin() + 1, {"--password", "test"});
        const ProcessResult r = Zeloctl(args);
        EXPECT_EQ(r.ExitCode, 0) << name << "\n" << r.Err;
        EXPECT_NE(r.Out, "") << name;
        EXPECT_NE(r.Err.find(isProtected ? ", protected with " : ", unprotected:"), std::string::npos)
            << name << "\n"
            << r.Err;
        EXPECT_EQ(Zeloctl({"check", "-"}, r.Out).ExitCode, 0) << name;
        lines[name] = r.Out;
    }
    EXPECT_EQ(projects, 9);
    // The protected ETS4 project and its unprotected twin are the same project.
    EXPECT_EQ(lines["test_project-ets4"], lines["test_project-ets4-no_password"]);
}
