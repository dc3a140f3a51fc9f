// The Qt tests run inside the program's own application object; listing the
// tests (at build time) needs no display, so it runs without one.
#include <gtest/gtest.h>

#include "ui/qt/updater_app.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    vantrel::CUpdaterApp app(argc, argv);
    return RUN_ALL_TESTS();
}
