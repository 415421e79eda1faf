// Where the program finds itself and its settings file on Windows, and the settings file written there.
#include "os/Paths.h"
#include "device/EibConverter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace zelo;

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
    EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));
    std::filesystem::remove_all(folder);
}
