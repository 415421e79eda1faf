// Runs the window tests inside one application object; without a display they go offscreen.
#include "GuiSupport.h"
#include "app/ZeloApplication.h"
#include "version/VersionInfo.h"

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    zelo::ZeloApplication app(argc, argv);
    zelo::ReadVersionInfo();
    return RUN_ALL_TESTS();
}
