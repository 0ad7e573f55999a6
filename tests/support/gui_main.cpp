// SPDX-License-Identifier: MIT
// main() of the widget tests: a QApplication on the offscreen platform, with
// the program's font.
#include "ui/AppFont.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Test discovery runs this program outside ctest's environment.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    q2::InstallApplicationFont();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
