// The Qt tests run inside the program's own application object; listing the
// tests (at build time) needs no display, so it runs without one.
#include <gtest/gtest.h>
#include <cstdlib>

#include "tests/support/temp_dir.h"
#include "ui/qt/updater_app.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    // The window records every unit: the tests' go into a folder of their
    // own, never into the user's record file.
    const vantrel::test::TempDir records;
    ::setenv("XDG_DATA_HOME", records.File("data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", records.File("state").c_str(), 1);
    vantrel::CUpdaterApp app(argc, argv);
    return RUN_ALL_TESTS();
}
