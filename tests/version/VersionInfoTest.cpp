#include "version/VersionInfo.h"

#include <gtest/gtest.h>

using namespace zelo;

TEST(version, TextOfFileVersion) {
    const struct {
        std::uint32_t ms, ls;
        const char* text;
    } cases[] = {
        {0x00010000, 0x00020003, "1.0.2.3"},
        {0x000A0000, 0x000C0159, "10.0.12.345"},
        {0xFFFFFFFF, 0xFFFFFFFF, "65535.65535.65535.65535"},
        {0, 0, "0.0.0.0"},
    };
    for (const auto& c : cases) {
        TVersionInfo info;
        info.FixedInfo.dwFileVersionMS = c.ms;
        info.FixedInfo.dwFileVersionLS = c.ls;
        info.FixedInfo.dwProductVersionMS = 0x00090009; // never used for the text
        EXPECT_EQ(VersionText(info), c.text);
    }
}

TEST(version, ReadFillsTheGlobalFromTheBuild) {
    EXPECT_EQ(VersionText(VersionInfo), "0.0.0.0") << "zero before it is read";
    EXPECT_FALSE(VersionInfo.Valid);
    ReadVersionInfo();
    EXPECT_TRUE(VersionInfo.Valid);
    EXPECT_EQ(VersionText(VersionInfo), "1.0.2.3");
}
