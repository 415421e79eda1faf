// The window's import gives the lines of zeloctl import, range by range and with Add all.
#include "../ets/EtsTestFile.h"
#include "ImportSupport.h"
#include "Process.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

Lines ZeloctlImport(const std::string& content, const char* access) {
    auto r = RunProcess({BuiltProgram("zeloctl"), "import", "--access", access, "-"}, content);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    Lines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = r.Out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(r.Out.substr(start, end - start));
    return lines;
}

TEST(Import, WindowGivesTheLinesOfZeloctlImport) {
    const std::vector<EtsRow> rows = {
        {"Lights", "1/1/1", "1b"}, {"Lights", "1/1/2", "1b"}, {"Lights", "1/1/4", "1b"},
        {"Dim", "1/2/0", "1B"},    {"Dim", "1/2/1", "1B"},    {"Text", "1/3/0", "14B"},
    };
    const std::string content = EtsFile(rows);
    const Lines cli = ZeloctlImport(content, "R");
    ASSERT_EQ(cli.size(), 3u);

    // Range by range, accepting each suggestion as the user would.
    FakeWindow stepwise;
    stepwise.ChooseAccess(0);
    Import(stepwise, content);
    while (stepwise.Logic().Importing) {
        const int current = stepwise.EibDptList.Current;
        if (!stepwise.EibDptList.Checked(current))
            stepwise.ToggleType(current);
        stepwise.Click(stepwise.btnAdd);
    }
    const Lines window = stepwise.Lines();
    EXPECT_EQ(window, (Lines{"#SETUP=15.15.255;OFF;OFF;OFF", cli[0], cli[1], cli[2]}));

    FakeWindow batch;
    batch.ChooseAccess(0);
    Import(batch, content);
    batch.Click(batch.btnAddAll);
    EXPECT_EQ(batch.Lines(), window);
}

} // namespace
