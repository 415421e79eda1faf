// Runs the view's tests inside one application object. Without a display they go offscreen, on a screen large
// enough for the window at its design size.
#include "version/VersionInfo.h"
#include "window/qt/ZeloApplication.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr) {
        const std::string platform =
            std::string("offscreen:configfile=") + ZELO_SOURCE_DIR "/tests/gui/offscreen-large.json";
        setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    }
    // The tests expect the English window whatever the developer's language; the German one is asked for.
    // The system's reasons too: the application takes its locale from the environment, and strerror with it.
    setenv("ZELO_LANGUAGE", "en", 0);
    setenv("LC_MESSAGES", "C.UTF-8", 0);
    ::testing::InitGoogleTest(&argc, argv);
    zelo::ZeloApplication app(argc, argv);
    zelo::ReadVersionInfo();
    return RUN_ALL_TESTS();
}
