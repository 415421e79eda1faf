// The version resource built into the Windows executables, and ReadVersionInfo reading it.
#include "os/Paths.h"
#include "os/win32/Win32Os.h"
#include "version/VersionInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zelo;

namespace {

// The raw version data of a program (this test program by default), as the version API gives it.
std::vector<char> VersionData(const std::string& path = os::ExecutablePath()) {
    const std::wstring name = os::WideText(path);
    DWORD unused = 0;
    DWORD size = ::GetFileVersionInfoSizeW(name.c_str(), &unused);
    std::vector<char> data(size);
    if (size == 0 || !::GetFileVersionInfoW(name.c_str(), 0, size, data.data()))
        data.clear();
    return data;
}

// A program's resources as Windows finds them: the manifest's text and the sizes of its first icon.
struct ProgramResources {
    std::string Manifest;
    std::vector<int> IconSizes;
};

ProgramResources ResourcesOf(const std::string& path) {
    ProgramResources found;
    HMODULE module = ::LoadLibraryExW(os::WideText(path).c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr)
        return found;
    auto bytes = [module](LPCWSTR type) -> std::string {
        HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(1), type);
        HGLOBAL loaded = resource == nullptr ? nullptr : ::LoadResource(module, resource);
        if (loaded == nullptr)
            return {};
        return std::string(static_cast<const char*>(::LockResource(loaded)),
                           ::SizeofResource(module, resource));
    };
    found.Manifest = bytes(MAKEINTRESOURCEW(24)); // RT_MANIFEST
    // The icon group: a 6-byte header, then 14 bytes per image, width first (0 meaning 256).
    const std::string group = bytes(MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    for (std::size_t at = 6; at + 14 <= group.size(); at += 14) {
        const int width = static_cast<unsigned char>(group[at]);
        found.IconSizes.push_back(width == 0 ? 256 : width);
    }
    ::FreeLibrary(module);
    return found;
}

std::string StringEntry(std::vector<char>& data, const std::string& name) {
    std::string block = "\\StringFileInfo\\040904B0\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data.data(), block.c_str(), &value, &length) || value == nullptr || length == 0)
        return "<missing>";
    std::string text(static_cast<const char*>(value), length);
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

} // namespace

TEST(Win32Version, ReadVersionInfoTakesTheFixedPartOfTheResource) {
    VersionInfo = TVersionInfo{};
    ReadVersionInfo();
    ASSERT_TRUE(VersionInfo.Valid);
    const FixedFileInfo& f = VersionInfo.FixedInfo;
    EXPECT_EQ(f.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(f.dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(f.dwFileVersionLS, 0x00020003u);
    EXPECT_EQ(f.dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(f.dwProductVersionLS, 0x00000000u);
    EXPECT_EQ(f.dwFileType, 1u) << "an application";
    EXPECT_EQ(VersionText(VersionInfo), "1.0.2.3") << "the file version, not the product version";
}

TEST(Win32Version, StringTableNamesTheProduct) {
    std::vector<char> data = VersionData();
    ASSERT_FALSE(data.empty()) << "the executable has no readable version resource";
    EXPECT_EQ(StringEntry(data, "FileVersion"), "1.0.2.3");
    EXPECT_EQ(StringEntry(data, "ProductName"), "ZELO-EIB-ASCII Configurator");
    EXPECT_EQ(StringEntry(data, "ProductVersion"), "1.0.0.0");
}

// Each program as Explorer and Windows see it: a description of its own, the manifest every program needs
// (common controls 6, long paths, the systems it was tested on; per-monitor DPI awareness for the window),
// and the icon, 16 to 256 px, in the programs a user starts.
TEST(Win32Version, EachProgramHasItsOwnDescriptionManifestAndIcon) {
    const struct {
        const char* Path;
        std::string Description;
        bool Icon;
        bool DpiAware;
    } programs[] = {
        {ZELO_CONFIGURATOR_EXE, "ZELO-EIB-ASCII Configurator", true, true},
        {ZELOCTL_EXE, "ZELO-EIB-ASCII command-line tool", true, false},
        {ZELO_GATEWAY_SIM_EXE, "ZELO-EIB-ASCII gateway simulator", false, false},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(program.Path);
        std::vector<char> data = VersionData(program.Path);
        ASSERT_FALSE(data.empty()) << "no version resource";
        EXPECT_EQ(StringEntry(data, "FileDescription"), program.Description);
        EXPECT_EQ(StringEntry(data, "FileVersion"), "1.0.2.3");
        const ProgramResources resources = ResourcesOf(program.Path);
        for (const char* part :
             {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", ">true</longPathAware>",
              "level=\"asInvoker\"", "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"})
            EXPECT_NE(resources.Manifest.find(part), std::string::npos) << part << " in\n"
                                                                        << resources.Manifest;
        EXPECT_EQ(resources.Manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>") != std::string::npos,
                  program.DpiAware);
        if (program.Icon) {
            EXPECT_EQ(resources.IconSizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 128, 256}));
        } else {
            EXPECT_TRUE(resources.IconSizes.empty());
        }
    }
}
