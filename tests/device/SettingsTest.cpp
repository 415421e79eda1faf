#include "DeviceTestSupport.h"
#include "Process.h"
#include "device/EibConverter.h"
#include "device/IniFile.h"
#include "model/Error.h"
#include "os/Paths.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zelo;
using namespace zelo::test;

namespace {

std::string Load(const std::string& text, const std::string& key) {
    return IniFile::Parse(text).Find("SerialPort", key).value_or("<missing>");
}

} // namespace

TEST(IniFile, ReadingRules) {
    struct Case {
        const char* Name;
        std::string Text;
        std::string Key;
        std::string Value;
    };
    const std::vector<Case> cases{
        {"spaces around = are dropped", "[SerialPort]\r\nBaudrate = 9600\r\n", "Baudrate", "9600"},
        {"LF line ends", "[SerialPort]\nDevice=COM2\nBaudrate=4800\n", "Baudrate", "4800"},
        {"CR line ends", "[SerialPort]\rDevice=COM2\rBaudrate=4800", "Device", "COM2"},
        {"empty value is a value", "[SerialPort]\r\nDevice=\r\n", "Device", ""},
        {"lookup ignores case", "[serialport]\r\ndevice = COM7\r\n", "Device", "COM7"},
        {"value keeps later =", "[SerialPort]\r\nHost=a=b\r\n", "Host", "a=b"},
        {"last key wins", "[SerialPort]\r\nDevice=COM2\r\nDevice=COM3\r\n", "Device", "COM3"},
        {"last section wins", "[SerialPort]\r\nDevice=COM2\r\n[Other]\r\n[SERIALPORT]\r\nBaudrate=1\r\n",
         "Device", "<missing>"},
        {"section name is trimmed", "  [ SerialPort ]  \r\n\tDevice=COM9\t\r\n", "Device", "COM9"},
        {"lines before a section are ignored", "Device=COM5\r\n[SerialPort]\r\n", "Device", "<missing>"},
        {"comment is no key", "[SerialPort]\r\n;Device=COM5\r\n", "Device", "<missing>"},
        {"zero byte ends the text", std::string("[SerialPort]\r\nDevice=COM2\0\r\nBaudrate=1\r\n", 39),
         "Baudrate", "<missing>"},
        {"UTF-8 byte-order mark is skipped", "\xEF\xBB\xBF[SerialPort]\r\nDevice=COM6\r\n", "Device", "COM6"},
        {"line without = is no key", "[SerialPort]\r\nDevice\r\n", "Device", "<missing>"},
        {"8-bit text stays as it is", "[SerialPort]\r\nDevice=/dev/t\xc3\xa9l\r\n", "Device",
         "/dev/t\xc3\xa9l"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Load(c.Text, c.Key), c.Value) << c.Name;
}

TEST(IniFile, IntegerRules) {
    struct Case {
        std::string Value;
        int Expected;
    };
    const std::vector<Case> cases{
        {"9600", 9600},
        {"0x4B00", 19200},
        {"0X4b00", 19200},
        {"$4B00", 19200},
        {"-5", -5},
        {"+7", 7},
        {"0", 0},
        {"007", 7},
        {"fast", 42},
        {"", 42},
        {"0x", 42},
        {"$", 42},
        {"12a", 42},
        {"1 2", 42},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", 42},
        {"0x80000000", 42},
        {"0x-1", 42},
        {"--1", 42},
        {"99999999999999999999", 42},
    };
    for (const auto& c : cases) {
        IniFile ini = IniFile::Parse("[SerialPort]\nBaudrate=" + c.Value + "\n");
        EXPECT_EQ(ini.ReadInteger("serialPORT", "BAUDRATE", 42), c.Expected) << c.Value;
    }
    EXPECT_EQ(IniFile::Parse("").ReadInteger("SerialPort", "Baudrate", 42), 42);
}

TEST(IniFile, WritingReplacesInPlaceAndAppendsWhatIsMissing) {
    IniFile ini = IniFile::Parse("; the link\r\n[Other]\r\nkey = 1\r\n; note\r\nloose line\r\n\r\n"
                                 "[serialport]\r\nbaudrate=9600\r\ndevice = COM7\r\nHost=gw\r\n");
    ini.WriteString("SerialPort", "Device", "COM8");
    ini.WriteInteger("SerialPort", "Baudrate", 19200);
    ini.WriteString("SerialPort", "Extra", "x");
    ini.WriteString("New", "Key", "");
    EXPECT_EQ(ini.Text(), "; the link\r\n"
                          "[Other]\r\nkey=1\r\n; note\r\nloose line\r\n\r\n"
                          "[serialport]\r\nBaudrate=19200\r\nDevice=COM8\r\nHost=gw\r\nExtra=x\r\n\r\n"
                          "[New]\r\nKey=\r\n\r\n");
}

TEST(IniFile, SaveReplacesTheFileWhole) {
    TempDir dir;
    const std::string file =
        dir.Write("a.ini", "[SerialPort]\r\nDevice=COM2\r\n" + std::string(5000, ';') + "\r\n");
    IniFile ini = IniFile::Load(file);
    ini.WriteString("SerialPort", "Device", "COM3");
    ini.Save(file);
    EXPECT_EQ(ReadFileBytes(file), "[SerialPort]\r\nDevice=COM3\r\n" + std::string(5000, ';') + "\r\n\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1); // no temporary left

    // A target that cannot be replaced raises and leaves no temporary file behind.
    const std::string folder = dir.File("folder.ini");
    std::filesystem::create_directories(folder + "/inside");
    EXPECT_THROW(ini.Save(folder), Exception);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_FALSE(std::filesystem::exists(folder + ".tmp"));
    // A file that exists but cannot be read raises too.
    EXPECT_THROW(IniFile::Load(folder), Exception);
}

TEST(Settings, MissingFileGivesDefaultsAndTheSaveCreatesIt) {
    TempDir dir;
    const std::string file = dir.File("zelo.ini");
    TEibConverter converter(nullptr, nullptr);
    converter.SetDevice("COM4");
    converter.SetBaudrate(4800);
    converter.LoadSettings(file);
    EXPECT_EQ(converter.Device(), "COM1");
    EXPECT_EQ(converter.Baudrate(), 19200);
    converter.SaveSettings(file);
    EXPECT_EQ(ReadFileBytes(file), "[SerialPort]\r\nDevice=COM1\r\nBaudrate=19200\r\n\r\n");

    const std::string nested = dir.File("new/folder/zelo.ini");
    converter.SaveSettings(nested);
    EXPECT_EQ(ReadFileBytes(nested), ReadFileBytes(file));
}

TEST(Settings, LoadAppliesTheEdgeCases) {
    struct Case {
        const char* Name;
        std::string Text;
        std::string Device;
        int Baudrate;
        std::int64_t Timeout;
    };
    const std::vector<Case> cases{
        {"empty device", "[SerialPort]\r\nDevice=\r\nBaudrate=9600\r\n", "", 9600, 1000},
        {"lower case", "[serialport]\r\ndevice = COM7\r\n", "COM7", 19200, 1000},
        {"hexadecimal rate", "[SerialPort]\r\nBaudrate=0x4B00\r\n", "COM1", 19200, 1000},
        {"bad rate", "[SerialPort]\r\nBaudrate=fast\r\n", "COM1", 19200, 1000},
        {"unusual rate", "[SerialPort]\r\nBaudrate=12345\r\n", "COM1", 12345, 1000},
        {"TCP", "[SerialPort]\r\nDevice=TCP/IP\r\nHost=gw.local\r\nPort=4001\r\n", "TCP/IP", 19200, 5000},
        {"byte-order mark", "\xEF\xBB\xBF[SerialPort]\r\nDevice=COM6\r\n", "COM6", 19200, 1000},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string file = dir.Write("s.ini", c.Text);
        TEibConverter converter(nullptr, nullptr);
        converter.LoadSettings(file);
        EXPECT_EQ(converter.Device(), c.Device) << c.Name;
        EXPECT_EQ(converter.Baudrate(), c.Baudrate) << c.Name;
        EXPECT_EQ(converter.Timeout, c.Timeout) << c.Name;
    }
}

TEST(Settings, EmptyDeviceDoesNotOpen) {
    TempDir dir;
    TEibConverter converter(nullptr, nullptr);
    converter.LoadSettings(dir.Write("s.ini", "[SerialPort]\nDevice=\n"));
    EXPECT_FALSE(converter.Open());
    converter.Close();
}

TEST(Settings, HostAndPortReachTheTcpLink) {
    TempDir dir;
    TEibConverter converter(nullptr, nullptr);
    converter.LoadSettings(dir.Write("s.ini", "[SerialPort]\nDevice=TCP/IP\nHost=gw.local\nPort=4001\n"));
    EXPECT_EQ(converter.Host(), "gw.local");
    EXPECT_EQ(converter.Port(), "4001");
    converter.LoadSettings(dir.Write("s.ini", "[SerialPort]\nDevice=COM1\n"));
    EXPECT_EQ(converter.Host(), "gw.local"); // optional keys: missing ones change nothing
}

TEST(Settings, SaveKeepsOtherSectionsKeysAndCommentsInTheirPlaces) {
    TempDir dir;
    const std::string file = dir.Write("s.ini", "; written by hand\r\n[Window]\r\nLeft = 10\r\n"
                                                "[serialport]\r\n; my adapter\r\ndevice = COM7\r\nHost=gw\r\n"
                                                "Port=4001\r\n[Last]\r\nx=1\r\n");
    TEibConverter converter(nullptr, nullptr);
    converter.LoadSettings(file);
    converter.SetBaudrate(9600);
    converter.SaveSettings(file);
    EXPECT_EQ(ReadFileBytes(file), "; written by hand\r\n[Window]\r\nLeft=10\r\n\r\n"
                                   "[serialport]\r\n; my adapter\r\nDevice=COM7\r\nHost=gw\r\nPort=4001\r\n"
                                   "Baudrate=9600\r\n\r\n[Last]\r\nx=1\r\n\r\n");
}

TEST(Settings, SaveOfAFileWithAByteOrderMarkKeepsItsSection) {
    TempDir dir;
    const std::string file = dir.Write("s.ini", "\xEF\xBB\xBF[SerialPort]\r\nDevice=COM6\r\nFlow=on\r\n");
    TEibConverter converter(nullptr, nullptr);
    converter.LoadSettings(file);
    converter.SaveSettings(file);
    EXPECT_EQ(ReadFileBytes(file), "[SerialPort]\r\nDevice=COM6\r\nFlow=on\r\nBaudrate=19200\r\n\r\n");
}

TEST(Settings, FileNameBesideTheExecutable) {
    struct Case {
        std::string Path;
        std::string Expected;
    };
    for (const Case& c :
         {Case{"/usr/bin/zelo-configurator", "/usr/bin/zelo-configurator.ini"},
          Case{"/opt/zelo/Zelo.exe", "/opt/zelo/Zelo.ini"}, Case{"/opt/zelo.d/prog", "/opt/zelo.d/prog.ini"},
          Case{"/a/prog.tar.gz", "/a/prog.tar.ini"}, Case{"C:\\Zelo\\Zelo.exe", "C:\\Zelo\\Zelo.ini"},
          Case{"C:\\a.b\\prog", "C:\\a.b\\prog.ini"}, Case{"prog", "prog.ini"}})
        EXPECT_EQ(os::IniFileNameBeside(c.Path), c.Expected) << c.Path;
}

TEST(Settings, FileNameFallsBackToTheUsersConfigFolder) {
    TempDir dir;
    EXPECT_EQ(os::SettingsFileName(dir.File("zelo-configurator")), dir.File("zelo-configurator.ini"));
    // An existing file beside the program is used even where the folder cannot be written.
    ::setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    EXPECT_EQ(os::SettingsFileName("/nonexistent/bin/zelo-configurator"),
              dir.File("config/zelo-configurator/zelo-configurator.ini"));
    ::setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    ::setenv("HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(os::SettingsFileName("/nonexistent/bin/zelo-configurator"),
              dir.File(".config/zelo-configurator/zelo-configurator.ini"));
    ::unsetenv("XDG_CONFIG_HOME");
    // No folder of the user's: none at all, never the program's own folder.
    ::unsetenv("HOME");
    EXPECT_EQ(os::SettingsFileName("/nonexistent/bin/zelo-configurator"), "");
    ::setenv("HOME", home.c_str(), 1);
    const std::string locked = dir.File("locked");
    std::filesystem::create_directory(locked);
    dir.Write("locked/zelo-configurator.ini", "[SerialPort]\n");
    ::chmod(locked.c_str(), 0555);
    EXPECT_EQ(os::SettingsFileName(locked + "/zelo-configurator"), locked + "/zelo-configurator.ini");
    ::chmod(locked.c_str(), 0755);
}

TEST(Settings, ExecutablePathIsThisProgram) {
    const std::string path = os::ExecutablePath();
    EXPECT_EQ(std::filesystem::path(path).filename(), "test_device");
    EXPECT_TRUE(std::filesystem::exists(path));
}
