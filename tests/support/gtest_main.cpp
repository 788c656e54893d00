// GoogleTest entry point with a Qt application object, which pictures, fonts and the clipboard need, and
// the decode limits the program sets at start-up.
#include "core/picture.h"

#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    core::AllowLargeImageReads();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
