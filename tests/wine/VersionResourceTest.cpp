// The version resource built into the Windows executables, and ReadVersionInfo reading it.
#include "os/Paths.h"
#include "version/VersionInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

using namespace zelo;

namespace {

// The raw version data of this test program, as the version API gives it.
std::vector<char> OwnVersionData() {
    const std::string path = os::ExecutablePath();
    DWORD unused = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &unused);
    std::vector<char> data(size);
    if (size == 0 || !::GetFileVersionInfoA(path.c_str(), 0, size, data.data()))
        data.clear();
    return data;
}

std::string StringEntry(std::vector<char>& data, const std::string& name) {
    std::string block = "\\StringFileInfo\\040904B0\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data.data(), block.c_str(), &value, &length) || value == nullptr)
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
    std::vector<char> data = OwnVersionData();
    ASSERT_FALSE(data.empty()) << "the executable has no readable version resource";
    EXPECT_EQ(StringEntry(data, "FileVersion"), "1.0.2.3");
    EXPECT_EQ(StringEntry(data, "ProductName"), "ZELO-EIB-ASCII Configurator");
    EXPECT_EQ(StringEntry(data, "ProductVersion"), "1.0.0.0");
}
