// The Windows zeloctl.exe, run under Wine, imports a protected project file whose password no single-byte
// code page holds: it must come through the wide command line intact.
#include "Process.h"
#include "ProjectWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace zelo;
using namespace zelo::test;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Greek letters and an emoji.
const std::string Password = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xF0\x9F\x98\x80";

// Windows programs end their lines with CR LF.
std::string WithoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

} // namespace

TEST(WineImport, NonAsciiPasswordsAndFileNames) {
    const std::string wineRun = Env("ZELO_WINE_RUN");
    const std::string prefix = Env("WINEPREFIX");
    const std::string zeloctl = Env("ZELOCTL_EXE");
    if (wineRun.empty() || prefix.empty() || zeloctl.empty())
        GTEST_SKIP() << "run by the Windows build's CTest (ctest --preset mingw), which sets the environment";
    ASSERT_TRUE(std::filesystem::exists(zeloctl)) << zeloctl;

    TestProject project;
    project.Protection = ZipEncryption::WinZipAes;
    project.Password = Password;
    project.Addresses = {{0x0901, "Licht", "DPST-1-1"}, {0x0902, "Wert", "DPST-9-1"}};
    TempDir dir;
    const std::string file = dir.Write("K\xC3\xBC"
                                       "che.knxproj",
                                       ProjectFile(project));
    const struct {
        std::vector<std::string> Args;
        int ExitCode;
        std::string Out;
        std::string Err;
    } cases[] = {
        {{"--password", Password, "Z:" + file}, 0, "#DG1/1/1=BIT;RW\n#DG1/1/2=VALUE;RW\n", ""},
        {{"--password", "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 ?", "Z:" + file},
         2,
         "",
         "Wrong project password.\n"},
        {{"Z:" + file}, 2, "", "This project is protected by a password.\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{wineRun, zeloctl, "import"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        // Wine reads the arguments in the locale's encoding.
        const ProcessResult r = RunProcess(args, {}, {"WINEPREFIX=" + prefix, "LC_ALL=C.UTF-8"});
        EXPECT_EQ(r.ExitCode, c.ExitCode) << r.Err;
        EXPECT_EQ(WithoutCr(r.Out), c.Out) << r.Err;
        if (!c.Err.empty()) {
            EXPECT_EQ(WithoutCr(r.Err), c.Err);
        }
    }
}
