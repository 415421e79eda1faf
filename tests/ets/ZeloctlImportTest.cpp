#include "EtsTestFile.h"
#include "Process.h"

#include <gtest/gtest.h>

using namespace zelo::test;

namespace {

ProcessResult Zeloctl(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), BuiltProgram("zeloctl"));
    return RunProcess(args, input);
}

const std::vector<EtsRow> Rows = {
    {"Lights", "1/1/1", "1b"}, {"Lights", "1/1/2", "1b"}, {"Lights", "1/1/4", "1b"}, {"Temp", "1/2/0", "2B"},
    {"Odd", "1/3/0", "5B"},    {"Temp", "1/2/0", "2B"},   {"Dup", "1/1/1", "4B"},
};

} // namespace

TEST(ZeloctlImport, PrintsGroupLinesWithSetupAndAccess) {
    TempDir dir;
    std::string file = dir.Write("export.csv", EtsFile(Rows));

    auto r = Zeloctl({"import", file});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "#DG1/1/1-1/1/4=BIT;RW\n#DG1/2/0=UWORD;RW\n#DG1/1/1=UDWORD;RW\n");
    EXPECT_EQ(r.Err,
              "warning: Line 5: datatype \"5B\" not recognised, range 1/3/0 to 1/3/0 skipped.\n"
              "warning: Line 7: range 1/1/1 to 1/1/1 starts where the range of line 1 starts; both are "
              "kept.\n"
              "3 ranges added, 1 skipped, 1 duplicate dropped.\n");

    r = Zeloctl(
        {"import", "--access", "W", "--unknown", "other", "--setup", "--phys", "1.1.7", "--hex", file});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "#SETUP=1.1.7;OFF;ON;OFF\n#DG1/1/1-1/1/4=BIT;W\n#DG1/2/0=UWORD;W\n#DG1/3/0=GENERIC;W\n"
                     "#DG1/1/1=UDWORD;W\n");

    // A whole command list: the gateway would take every line.
    auto check = Zeloctl({"check", "-"}, r.Out);
    EXPECT_EQ(check.ExitCode, 0) << check.Out;

    // Standard input, and the options without --setup print no setup line.
    r = Zeloctl({"import", "-", "--access", "R", "--source"}, EtsFile({Rows[0], Rows[1]}, "\n"));
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "#DG1/1/1-1/1/2=BIT;R\n");
    EXPECT_EQ(r.Err, "1 range added, 0 skipped, 0 duplicates dropped.\n");
}

TEST(ZeloctlImport, FailuresExitTwoWithNothingOnStdout) {
    TempDir dir;
    const struct {
        std::vector<std::string> args;
        std::string input;
        std::string err;
    } cases[] = {
        {{"import", "--unknown", "fail", "-"}, EtsFile(Rows), "Line 5: datatype \"5B\" not recognised.\n"},
        {{"import", "-"},
         EtsFile({Rows[0]}) + "\n" + EtsFile({Rows[3]}),
         "Line 2: Import file has wrong format!\n"},
        {{"import", "-"}, "a,b,c\n", "Line 1: Import file has wrong format!\n"},
        {{"import", "--setup", "--phys", "1/1/1", "-"},
         EtsFile(Rows),
         "Invalid physical address!\nFromat has to be \"<0...15>.<0...15>.<0...255>\"!\n"},
    };
    for (const auto& c : cases) {
        auto r = Zeloctl(c.args, c.input);
        EXPECT_EQ(r.ExitCode, 2) << c.err;
        EXPECT_EQ(r.Out, "") << c.err;
        EXPECT_EQ(r.Err, c.err);
    }
    auto r = Zeloctl({"import", dir.File("missing.csv")});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("missing.csv"), std::string::npos) << r.Err;
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"import", "--access", "X", "-"}, {"import", "--unknown", "maybe", "-"}, {"import"}}) {
        r = Zeloctl(bad);
        EXPECT_EQ(r.ExitCode, 2) << bad.back();
    }
}

TEST(ZeloctlImport, EmptyInputAndBadAddressLine) {
    auto r = Zeloctl({"import", "-"}, "");
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "0 ranges added, 0 skipped, 0 duplicates dropped.\n");

    // A header line with the columns' titles has no address in field 43: skipped with the reader's message.
    EtsRow header{"Name", "Address", "DatapointType"};
    r = Zeloctl({"import", "-"}, EtsFile({header, Rows[0]}));
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "#DG1/1/1=BIT;RW\n");
    EXPECT_EQ(r.Err.rfind("warning: Line 1: Invalid group address!\n", 0), 0u) << r.Err;
    EXPECT_NE(r.Err.find("1 range added, 1 skipped"), std::string::npos) << r.Err;
}
