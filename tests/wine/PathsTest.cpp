// Where the program finds itself and its settings file on Windows, and the settings file written there.
#include "os/Paths.h"
#include "device/EibConverter.h"
#include "model/Error.h"
#include "os/Files.h"
#include "os/win32/Win32Os.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

using namespace zelo;

namespace {

// The names in a folder, sorted: what a save leaves behind.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(Win32Paths, SettingsFileReplacesTheExtensionOfTheFileName) {
    const struct {
        const char* executable;
        const char* settings;
    } cases[] = {
        {"C:\\Program Files\\ZELO\\zelo-configurator.exe", "C:\\Program Files\\ZELO\\zelo-configurator.ini"},
        {"C:\\tools\\zeloctl.EXE", "C:\\tools\\zeloctl.ini"},
        {"C:\\tools\\zelo.v1\\zeloctl", "C:\\tools\\zelo.v1\\zeloctl.ini"},
        {"C:\\a.b\\prog.x.exe", "C:\\a.b\\prog.x.ini"},
        {"\\\\server\\share\\zeloctl.exe", "\\\\server\\share\\zeloctl.ini"},
        {"Z:/home/user/zeloctl.exe", "Z:/home/user/zeloctl.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(os::SettingsFileName(c.executable), c.settings) << c.executable;
}

// The zip stays portable; programs the installer put in place (its marker beside them) keep their settings in
// the user's application data.
TEST(Win32Paths, TheInstallersMarkerMovesTheSettingsToTheUsersAppData) {
    wchar_t appData[1024] = {};
    ASSERT_NE(::GetEnvironmentVariableW(L"APPDATA", appData, 1024), 0u);
    const auto folder = std::filesystem::temp_directory_path() / "zelo-wine-installed";
    const std::string program = (folder / "zeloctl.exe").string();
    for (const bool installed : {false, true}) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        if (installed)
            std::ofstream(folder / os::InstalledMarker) << "";
        EXPECT_EQ(os::SettingsFileName(program),
                  installed ? os::Utf8Text(appData) + "\\zelo-configurator\\zeloctl.ini"
                            : (folder / "zeloctl.ini").string());
    }
    std::filesystem::remove_all(folder);
}

TEST(Win32Paths, ExecutablePathIsTheRunningProgram) {
    const std::string path = os::ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(std::filesystem::path(path).filename().string(), "test_wine.exe");
    EXPECT_EQ(std::filesystem::path(os::SettingsFileName(path)).filename().string(), "test_wine.ini");
}

// Saving replaces an existing file: renaming over a file is not allowed by every Windows call.
TEST(Win32Paths, SettingsAreSavedOverAnExistingFileAndReadBack) {
    const auto folder = std::filesystem::temp_directory_path() / "zelo-wine-settings";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "zeloctl.ini").string();
    {
        std::ofstream out(file, std::ios::binary);
        out << "[Other]\r\nKey=1\r\n[SerialPort]\r\nDevice=COM3\r\n";
    }
    for (const char* device : {"COM7", "COM12"}) {
        TEibConverter converter(nullptr, nullptr);
        converter.SetDevice(device);
        converter.SetBaudrate(9600);
        converter.SaveSettings(file);
        TEibConverter reader(nullptr, nullptr);
        reader.LoadSettings(file);
        EXPECT_EQ(reader.Device(), device);
        EXPECT_EQ(reader.Baudrate(), 9600);
    }
    std::string text;
    {
        std::ifstream in(file, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(text, "[Other]\r\nKey=1\r\n\r\n[SerialPort]\r\nDevice=COM12\r\nBaudrate=9600\r\n\r\n");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"zeloctl.ini"});
    std::filesystem::remove_all(folder);
}

namespace {

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Saves COM7; "" or the message raised.
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

} // namespace

// Errors a disk seldom gives, each at its step, and a file marked read-only: the old file stays whole, the
// save raises with the system's text, and no temporary file is left. A folder that takes no new file gets the
// file rewritten in place.
TEST(Win32Paths, SaveErrorsKeepTheOldFile) {
    const std::string old = "[SerialPort]\r\nDevice=COM3\r\nBaudrate=9600\r\n\r\n";
    const std::string fresh = "[SerialPort]\r\nDevice=COM7\r\nBaudrate=9600\r\n\r\n";
    const struct {
        const char* name;
        os::FileStep step;
        int error; // 0: no fault staged
        bool readOnly;
        std::uint32_t reported; // 0: the save succeeds
        std::string content;
    } cases[] = {
        {"disk full at the create", os::FileStep::Create, ERROR_DISK_FULL, false, ERROR_DISK_FULL, old},
        {"disk full at a write", os::FileStep::Write, ERROR_DISK_FULL, false, ERROR_DISK_FULL, old},
        {"device error at the flush", os::FileStep::Sync, ERROR_IO_DEVICE, false, ERROR_IO_DEVICE, old},
        {"device error at the close", os::FileStep::Close, ERROR_IO_DEVICE, false, ERROR_IO_DEVICE, old},
        {"refused replace", os::FileStep::Rename, ERROR_ACCESS_DENIED, false, ERROR_ACCESS_DENIED, old},
        {"a file marked read-only", os::FileStep::Create, 0, true, ERROR_ACCESS_DENIED, old},
        {"a folder that takes no new file", os::FileStep::Create, ERROR_ACCESS_DENIED, false, 0, fresh},
    };
    const auto folder = std::filesystem::temp_directory_path() / "zelo-wine-faults";
    for (const auto& c : cases) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const std::string file = (folder / "zelo.ini").string();
        std::ofstream(file, std::ios::binary) << old;
        // A file of the user's own under the name a saver might have chosen: never touched.
        std::ofstream(file + ".tmp", std::ios::binary) << "mine";
        if (c.readOnly)
            ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
        os::InjectFileFaults([&](os::FileStep step) { return c.error != 0 && step == c.step ? c.error : 0; });
        const std::string error = SaveCom7(file);
        os::InjectFileFaults(nullptr);
        EXPECT_EQ(error,
                  c.reported == 0 ? "" : "Can't write " + file + ": " + os::SystemErrorText(c.reported))
            << c.name;
        EXPECT_EQ(ReadAll(file), c.content) << c.name;
        EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"zelo.ini", "zelo.ini.tmp"})) << c.name;
        EXPECT_EQ(ReadAll(file + ".tmp"), "mine") << c.name;
        ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(folder);
}

// Two programs saving the same file at once: each save has a temporary file of its own, so the file is always
// one saver's whole text and nothing is left beside it.
TEST(Win32Paths, TwoSaversAtOnceLeaveOneWholeText) {
    const auto folder = std::filesystem::temp_directory_path() / "zelo-wine-savers";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "list.txt").string();
    const std::string texts[] = {std::string(100000, 'a') + "\n", std::string(70000, 'b') + "\n"};
    std::vector<std::string> failures[2];
    auto save = [&](int saver) {
        for (int i = 0; i < 40; ++i) {
            try {
                os::ReplaceFileContents(file, texts[saver]);
            } catch (const Exception& e) {
                failures[saver].push_back(e.Message());
            }
        }
    };
    std::thread first(save, 0);
    std::thread second(save, 1);
    first.join();
    second.join();
    const std::string result = ReadAll(file);
    EXPECT_TRUE(result == texts[0] || result == texts[1]) << result.size() << " bytes";
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"list.txt"});
    // A save may lose the race for the rename; it then says so, and never more often than it can.
    for (const auto& lost : failures)
        EXPECT_LT(lost.size(), 40u) << lost.front();
    std::filesystem::remove_all(folder);
}
