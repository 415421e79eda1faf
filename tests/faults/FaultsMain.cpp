// The fault suite's program. Run with --save-settings FILE DEVICE it saves a settings file instead (the link
// set to DEVICE) and exits 0, or prints the error and exits 1: the suite runs it so as another user.
#include "device/EibConverter.h"
#include "model/Error.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--save-settings") {
        try {
            zelo::TEibConverter converter(nullptr, nullptr);
            converter.SetDevice(argv[3]);
            converter.SaveSettings(argv[2]);
            return 0;
        } catch (const zelo::Exception& e) {
            std::cerr << e.Message() << '\n';
            return 1;
        }
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
