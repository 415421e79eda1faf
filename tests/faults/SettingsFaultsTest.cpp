// The settings file under faults: links, modes and owners, folders the user cannot write, and write, sync,
// close and rename errors. Whatever fails, the old file stays whole and the failure is raised.
#include "Process.h"
#include "Unprivileged.h"
#include "device/EibConverter.h"
#include "model/Error.h"
#include "os/Files.h"
#include "os/Paths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zelo;
using namespace zelo::test;
namespace fs = std::filesystem;

namespace {

const std::string Old = "[SerialPort]\r\nDevice=COM3\r\nBaudrate=9600\r\n\r\n";
const std::string New = "[SerialPort]\r\nDevice=COM7\r\nBaudrate=9600\r\n\r\n";

// Saves COM7 into the file the way the window does at exit; "" or the message raised.
std::string SaveCom7(const std::string& file) {
    try {
        TEibConverter converter(nullptr, nullptr);
        converter.LoadSettings(file);
        converter.SetDevice("COM7");
        converter.SaveSettings(file);
        return {};
    } catch (const Exception& e) {
        return e.Message();
    }
}

// The names in a folder, so a test can see that no temporary file was left behind.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct stat Stat(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

} // namespace

// A settings file that is a symbolic link is saved through it: the link stays, its target gets the values.
TEST(SettingsFaults, ALinkIsSavedThroughToItsTarget) {
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links; // link -> target text, made in this order
        std::string link;                                       // the settings file's name
        std::string target;                                     // the file that must hold the values
        bool targetExists;
    } cases[] = {
        {"link beside its target", {{"zelo.ini", "real.ini"}}, "zelo.ini", "real.ini", true},
        {"link into another folder", {{"zelo.ini", "other/real.ini"}}, "zelo.ini", "other/real.ini", true},
        {"chain of links",
         {{"middle.ini", "other/real.ini"}, {"zelo.ini", "middle.ini"}},
         "zelo.ini",
         "other/real.ini",
         true},
        {"link to a file not made yet", {{"zelo.ini", "other/new.ini"}}, "zelo.ini", "other/new.ini", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        fs::create_directory(dir.File("other"));
        if (c.targetExists)
            dir.Write(c.target, Old);
        for (const auto& [link, target] : c.links)
            fs::create_symlink(target, dir.File(link));
        EXPECT_EQ(SaveCom7(dir.File(c.link)), "") << c.name;
        for (const auto& [link, target] : c.links) {
            EXPECT_TRUE(fs::is_symlink(dir.File(link))) << c.name;
            EXPECT_EQ(fs::read_symlink(dir.File(link)).string(), target) << c.name;
        }
        // A file made new takes the default rate: only the device was set.
        EXPECT_EQ(ReadFileBytes(dir.File(c.target)),
                  c.targetExists ? New : "[SerialPort]\r\nDevice=COM7\r\nBaudrate=19200\r\n\r\n")
            << c.name;
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
            EXPECT_EQ(entry.path().filename().string().find(".ini."), std::string::npos)
                << c.name << ": " << entry.path();
    }
}

// Mode and owner survive a save; a file the user may not write is refused as an unwritable one is; a folder
// the user cannot write gets its file rewritten in place; nothing else changes the file.
TEST(SettingsFaults, ModeOwnerAndPermissionsAreKept) {
    std::string why;
    const auto nobody = Unprivileged(why);
    const struct {
        const char* name;
        bool unprivileged;
        mode_t fileMode;
        bool fileIsNobodys;
        mode_t folderMode; // the folder is root's
        std::string error; // "" for a save that must succeed; "%s" takes the file's name
    } cases[] = {
        {"a private file keeps its mode", false, 0600, false, 0755, ""},
        {"a file keeps its owner when root saves it", false, 0640, true, 0755, ""},
        {"a read-only file saved by root", false, 0444, false, 0755, ""},
        {"a file the user may not write", true, 0444, true, 0777, "Can't write %s: Permission denied"},
        {"another user's file", true, 0644, false, 0777, "Can't write %s: Permission denied"},
        {"a writable file in a folder the user cannot write", true, 0644, true, 0755, ""},
        {"a file the user may not write in such a folder", true, 0444, true, 0755,
         "Can't write %s: Permission denied"},
    };
    for (const auto& c : cases) {
        if ((c.unprivileged || c.fileIsNobodys) && !nobody) {
            std::cout << "[ row skipped ] " << c.name << ": " << why << '\n';
            continue;
        }
        TempDir dir;
        ::chmod(dir.Path().c_str(), 0755);
        const std::string folder = dir.File("folder");
        fs::create_directory(folder);
        const std::string file = dir.Write("folder/zelo.ini", Old);
        ASSERT_EQ(::chmod(file.c_str(), c.fileMode), 0);
        if (c.fileIsNobodys) {
            ASSERT_EQ(::chown(file.c_str(), nobody->Uid, nobody->Gid), 0);
        }
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        const struct stat before = Stat(file);
        std::string error;
        if (c.unprivileged) {
            ProcessResult r = RunProcess(AsNobody({os::ExecutablePath(), "--save-settings", file, "COM7"}));
            error = r.Err.empty() ? "" : r.Err.substr(0, r.Err.size() - 1);
            EXPECT_EQ(r.ExitCode, error.empty() ? 0 : 1) << c.name;
        } else {
            error = SaveCom7(file);
        }
        const std::string expected = c.error.empty() ? "" : FormatMessage(c.error, file);
        EXPECT_EQ(error, expected) << c.name;
        const struct stat after = Stat(file);
        EXPECT_EQ(ReadFileBytes(file).substr(0, 26), (expected.empty() ? New : Old).substr(0, 26)) << c.name;
        EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777) << c.name;
        EXPECT_EQ(after.st_uid, before.st_uid) << c.name;
        EXPECT_EQ(after.st_gid, before.st_gid) << c.name;
        EXPECT_EQ(Names(folder), std::vector<std::string>{"zelo.ini"}) << c.name;
        ::chmod(folder.c_str(), 0755);
    }
}

// Errors a disk seldom gives, each at its step: the old file stays as it was (until the rename) and the save
// raises; nothing is left behind. Only a failed sync of the folder comes after the new file is in place.
TEST(SettingsFaults, EveryWriteSyncCloseAndRenameErrorKeepsTheOldFileAndRaises) {
    const struct {
        os::FileStep step;
        int error;
        std::string reason;
        std::string content;
    } cases[] = {
        {os::FileStep::Create, ENOSPC, "No space left on device", Old},
        {os::FileStep::Write, EIO, "Input/output error", Old},
        {os::FileStep::Write, ENOSPC, "No space left on device", Old},
        {os::FileStep::Sync, EIO, "Input/output error", Old},
        {os::FileStep::Close, EIO, "Input/output error", Old},
        {os::FileStep::Close, EDQUOT, "Disk quota exceeded", Old},
        {os::FileStep::Rename, EXDEV, "Invalid cross-device link", Old},
        {os::FileStep::SyncFolder, EIO, "Input/output error", New},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string file = dir.Write("zelo.ini", Old);
        os::InjectFileFaults([&](os::FileStep step) { return step == c.step ? c.error : 0; });
        const std::string error = SaveCom7(file);
        os::InjectFileFaults(nullptr);
        EXPECT_EQ(error, "Can't write " + file + ": " + c.reason) << c.reason;
        EXPECT_EQ(ReadFileBytes(file), c.content) << c.reason;
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"zelo.ini"}) << c.reason;
    }
}

// A folder that takes no temporary file (for root this can only be staged): the file is rewritten in place,
// the same file, not a new one.
TEST(SettingsFaults, AFolderThatTakesNoNewFileGetsTheFileRewrittenInPlace) {
    TempDir dir;
    const std::string file =
        dir.Write("zelo.ini", "[SerialPort]\r\nDevice=/dev/serial/by-id/"
                              "usb-FTDI_FT232R_USB_UART_A12345-if00-port0\r\nBaudrate=9600\r\n");
    ::chmod(file.c_str(), 0640);
    const ino_t inode = Stat(file).st_ino;
    os::InjectFileFaults([](os::FileStep step) { return step == os::FileStep::Create ? EACCES : 0; });
    const std::string error = SaveCom7(file);
    os::InjectFileFaults(nullptr);
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadFileBytes(file), New) << "rewritten and cut to its new length";
    EXPECT_EQ(Stat(file).st_ino, inode);
    EXPECT_EQ(Stat(file).st_mode & 07777, 0640u);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"zelo.ini"});
}

// A real write error, from a file size limit: the same as the staged ones.
TEST(SettingsFaults, AWriteBeyondTheFileSizeLimitKeepsTheOldFile) {
    TempDir dir;
    const std::string file = dir.Write("zelo.ini", Old);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead of ending the test
    rlimit small = saved;
    small.rlim_cur = 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = SaveCom7(file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(error, "Can't write " + file + ": File too large");
    EXPECT_EQ(ReadFileBytes(file), Old);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"zelo.ini"});
}

// Two programs saving one file at once (two windows at logout), one of them killed at a random moment in
// each round: the file always holds one saver's whole text, a saver that is not killed never fails, and a
// user's own NAME.tmp beside it is never touched.
TEST(SettingsFaults, TwoSaversOfOneFile) {
    TempDir dir;
    const std::string file = dir.Write("zelo.ini", Old);
    const std::string users = dir.Write("zelo.ini.tmp", "the user's own file");
    const std::string texts[] = {std::string(30000, 'a') + "\n", std::string(20000, 'b') + "\n"};
    std::mt19937 random(21);
    for (int round = 0; round < 200; ++round) {
        pid_t savers[2];
        for (int i = 0; i < 2; ++i) {
            savers[i] = ::fork();
            ASSERT_GE(savers[i], 0);
            if (savers[i] == 0) {
                ::alarm(10); // the watchdog of a saver that hangs
                for (int save = 0; save < 3; ++save) {
                    try {
                        os::ReplaceFileContents(file, texts[i]);
                    } catch (const Exception&) {
                        ::_exit(1);
                    }
                }
                ::_exit(0);
            }
        }
        const int victim = static_cast<int>(random() % 2);
        ::usleep(static_cast<useconds_t>(random() % 3000));
        ::kill(savers[victim], SIGKILL);
        for (int i = 0; i < 2; ++i) {
            int status = 0;
            ASSERT_EQ(::waitpid(savers[i], &status, 0), savers[i]);
            if (i != victim || !WIFSIGNALED(status)) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                    << "round " << round << " saver " << i;
            }
        }
        const std::string now = ReadFileBytes(file);
        ASSERT_TRUE(now == Old || now == texts[0] || now == texts[1])
            << "round " << round << ": " << now.size() << " bytes";
    }
    EXPECT_EQ(ReadFileBytes(users), "the user's own file");
}
