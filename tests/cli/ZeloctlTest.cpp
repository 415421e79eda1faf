#include "Process.h"
#include "model/Address.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace zelo;
using namespace zelo::test;

TEST(zeloctl, BuildPrintsTheWindowsLines) {
    auto r = Zeloctl(
        {"build", "--phys", "1.1.250", "--hex", "0/0/0=1", "1/0/0-1/0/10=VALUE;R", "1/2/5-1/2/3=WORD;W"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out,
              "#SETUP=1.1.250;OFF;ON;OFF\n#DG0/0/0=BIT;RW\n#DG1/0/0-1/0/10=VALUE;R\n#DG1/2/5=WORD;W\n");
    EXPECT_EQ(r.Err, "");

    r = Zeloctl({"build"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, "#SETUP=15.15.255;OFF;OFF;OFF\n");

    r = Zeloctl({"build", "--source", "--duplex", "--phys", " 1.2.3", "15/7/255=generic;rw", "+1/2/3=16;W"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "#SETUP=1.2.3;ON;OFF;ON\n#DG15/7/255=GENERIC;RW\n#DG1/2/3=GENERIC;W\n");
}

TEST(zeloctl, BuildRejectsBadInputWithTheSystemsMessage) {
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"build", "0/8/0=BIT"}, std::string(InvalidGroupAddressMessage) + "\n"},
        {{"build", "0/0/0-0/0/256=BIT"}, std::string(InvalidGroupAddressMessage) + "\n"},
        {{"build", "--phys", "1/1/1"}, std::string(InvalidPhysicalAddressMessage) + "\n"},
        {{"build", "0/0/0=NOPE"},
         "Invalid datapoint type \"NOPE\"!\nUse a keyword (BIT, VALUE, ...) or an index 0...16.\n"},
        {{"build", "0/0/0=17"},
         "Invalid datapoint type \"17\"!\nUse a keyword (BIT, VALUE, ...) or an index 0...16.\n"},
        {{"build", "0/0/0=BIT;X"}, "Invalid access type \"X\"!\nUse R, W or RW.\n"},
        {{"build", "0/0/0"}, "Invalid range \"0/0/0\"!\nFormat has to be START[-END]=TYPE[;ACCESS].\n"},
        // A range must be read to its last character, or its end would be dropped without a word.
        {{"build", "1/2/3 -1/2/5=BIT"},
         "Invalid range \"1/2/3 -1/2/5=BIT\"!\nFormat has to be START[-END]=TYPE[;ACCESS].\n"},
        {{"build", "1/2/3x-1/2/5=BIT"},
         "Invalid range \"1/2/3x-1/2/5=BIT\"!\nFormat has to be START[-END]=TYPE[;ACCESS].\n"},
        {{"build", "1/2/3-1/2/5x=BIT"},
         "Invalid range \"1/2/3-1/2/5x=BIT\"!\nFormat has to be START[-END]=TYPE[;ACCESS].\n"},
        {{"build", "1/2/3-=BIT"}, std::string(InvalidGroupAddressMessage) + "\n"},
        // Echoed input is cut at 80 characters.
        {{"build", "1/2/3 " + std::string(100'000, 'x') + "=BIT"},
         "Invalid range \"1/2/3 " + std::string(74, 'x') +
             "...\"!\nFormat has to be START[-END]=TYPE[;ACCESS].\n"},
    };
    for (const auto& c : cases) {
        auto r = Zeloctl(c.args);
        EXPECT_EQ(r.ExitCode, 2) << c.args.back();
        EXPECT_EQ(r.Out, "") << "nothing on stdout for " << c.args.back();
        EXPECT_EQ(r.Err, c.err);
    }
}

TEST(zeloctl, CheckReportsMalformedLines) {
    auto r = Zeloctl({"check", "-"}, "#SETUP=1.1.1;OFF;OFF;OFF\r\n#DG0/0/0=BIT;RW\r\n");
    EXPECT_EQ(r.ExitCode, 0) << r.Out;
    EXPECT_EQ(r.Out, "");

    r = Zeloctl({"check", "-"}, "#SETUP=1.1.1;OFF;OFF;OFF\n#DG0/8/0=BIT;RW\n\n#DG0/0/1=BIT;RW\nrubbish");
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(r.Out, "line 2: start address \"0/8/0\" is not of the form <0...15>/<0...7>/<0...255>\n"
                     "line 3: empty line\n"
                     "line 5: neither a setup line (#SETUP=...) nor a group line (#DG...)\n");

    TempDir dir;
    r = Zeloctl({"check", dir.Write("list.txt", "#DG0/0/0=BIT;RW\n")});
    EXPECT_EQ(r.ExitCode, 0);
    r = Zeloctl({"check", dir.File("missing.txt")});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("missing.txt"), std::string::npos);
}

TEST(zeloctl, CheckRefusesWhatItCannotReadAndEscapesWhatItEchoes) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    const struct {
        std::string file; // "-": the input below on standard input
        std::string input;
        int code;
        std::string out;
        std::string err;
    } cases[] = {
        // A file that cannot be read is an error, never an empty list.
        {dir.File("folder"), "", 2, "", "Can't read " + dir.File("folder") + ": Is a directory\n"},
        {dir.File("missing"), "", 2, "",
         "Can't read " + dir.File("missing") + ": No such file or directory\n"},
        // A zero byte does not end the list: the lines behind it are still judged.
        {"-", std::string("#DG0/0/1=BIT;RW\n#DG0/0/2=BIT;RW\0\nrubbish\n", 41), 2,
         "line 2: zero byte\nline 3: neither a setup line (#SETUP=...) nor a group line (#DG...)\n",
         "3 lines, 2 malformed\n"},
        // What the line holds is shown, never obeyed by the terminal; and never more than 80 characters of
        // it.
        {"-", "#DG0/0/1=BIT;R\x1b]0;owned\x07\n", 2,
         "line 1: access type \"R\\x1b]0;owned\\x07\" must be R, W or RW\n", "1 lines, 1 malformed\n"},
        {"-", "#DG" + std::string(1'000'000, '7') + "=BIT;RW\n", 2,
         "line 1: start address \"" + std::string(80, '7') +
             "...\" is not of the form <0...15>/<0...7>/<0...255>\n",
         "1 lines, 1 malformed\n"},
    };
    for (const auto& c : cases) {
        auto r = Zeloctl({"check", c.file}, c.input);
        EXPECT_EQ(r.ExitCode, c.code) << c.file;
        EXPECT_EQ(r.Out, c.out) << c.file;
        EXPECT_EQ(r.Err, c.err) << c.file;
    }
}

// Usage errors begin with the program's name; help and the version on standard output.
TEST(zeloctl, UsageVersionAndHelp) {
    const std::string more = "\nRun with --help for more information.\n";
    const std::string help = Zeloctl({"--help"}).Out;
    const std::string downloadHelp = Zeloctl({"download", "--help"}).Out;
    EXPECT_NE(help.find("Subcommands:"), std::string::npos) << help;
    EXPECT_NE(downloadHelp.find("--quiet"), std::string::npos) << downloadHelp;
    const struct {
        std::vector<std::string> Args;
        int Code;
        std::string Out, Err;
    } cases[] = {
        {{"--version"}, 0, "1.0.2.3\n", ""},
        {{"-V"}, 0, "1.0.2.3\n", ""},
        {{"help"}, 0, help, ""},
        {{"help", "download"}, 0, downloadHelp, ""},
        {{"bild"}, 2, "", "zeloctl: unknown command 'bild'; did you mean 'build'?" + more},
        {{"help", "dowload"}, 2, "", "zeloctl: unknown command 'dowload'; did you mean 'download'?" + more},
        {{"frobnicate"}, 2, "", "zeloctl: unknown command 'frobnicate'" + more},
        {{}, 2, "", "zeloctl: A subcommand is required" + more},
        {{"build", "--bogus"}, 2, "", "zeloctl: The following argument was not expected: --bogus" + more},
        {{"download", "--baud", "x", "-"},
         2,
         "",
         "zeloctl: --baud: Value x not in range 1 to 2147483647" + more},
        {{"download"}, 2, "", "zeloctl: FILE is required" + more},
    };
    for (const auto& c : cases) {
        const std::string name = c.Args.empty() ? std::string("(none)") : c.Args[0] + " ...";
        auto r = Zeloctl(c.Args);
        EXPECT_EQ(r.ExitCode, c.Code) << name;
        EXPECT_EQ(r.Out, c.Out) << name;
        EXPECT_EQ(r.Err, c.Err) << name;
    }
}

// Output that cannot be written, inputs without end and memory that runs out each end with their own words
// and exit code, never with a success or an abort. Each row is a shell command; ZELOCTL names the program.
TEST(zeloctl, FailingOutputEndlessInputAndNoMemory) {
    TempDir dir;
    const std::string bad = dir.Write("bad.txt", "#DG0/8/0=BIT;RW\n");
    const std::string bigList = dir.Write("big.txt", std::string(24000000, '\n'));
    const std::string full = "Can't write the output: No space left on device\n";
    const std::string tooLong = "is larger than 64 MB, the most this program reads here.\n";
    const struct {
        std::string Command;
        int Code;
        std::string ErrEnd; // how standard error ends
        bool NeedsLimit = false;
    } cases[] = {
        {"build >/dev/full", 3, full},
        {"--version >/dev/full", 3, full},
        {"import - >/dev/full <'" +
             dir.Write("x.csv", "\"L\",\"1/2/1\",\"\",\"\",\"\",\"DPST-1-1\",\"A\"\n") + "'",
         3, full},
        // A list with a bad line keeps its own code; the output's failure is said too.
        {"check '" + bad + "' >/dev/full", 2, "1 lines, 1 malformed\n" + full},
        {"check /dev/zero", 2, "Can't read /dev/zero: it " + tooLong},
        {"check - </dev/zero", 2, "Can't read standard input: it " + tooLong},
        {"check '" + bigList + "'", 2, "Out of memory while reading " + bigList + "\n", true},
    };
    for (const auto& c : cases) {
#if defined(__SANITIZE_ADDRESS__)
        if (c.NeedsLimit) // the sanitizer's shadow memory does not fit under a memory limit
            continue;
#endif
        const std::string limit = c.NeedsLimit ? "ulimit -v 60000; " : "";
        auto r = RunProcess({"/bin/sh", "-c", limit + "exec \"$ZELOCTL\" " + c.Command}, {},
                            {"ZELOCTL=" + BuiltProgram("zeloctl")});
        EXPECT_EQ(r.ExitCode, c.Code) << c.Command << ": " << r.Err;
        EXPECT_TRUE(r.Err.ends_with(c.ErrEnd)) << c.Command << ": " << r.Err;
    }
}
