// LibraryMessages: what Qt and libtiff say while a thread works on a picture is that thread's alone, each
// message once and the first few only, and an inner collector takes them while it lives.
#include "core/library_messages.h"
#include "core/picture.h"

#include <gtest/gtest.h>
#include <QtGlobal>
#include <thread>

TEST(LibraryMessages, TakesWhatIsSaidOnItsOwnThreadOnly) {
    core::LibraryMessages heard;
    qWarning("first");
    std::thread([] { qWarning("from another thread"); }).join();
    {
        core::LibraryMessages inner;
        qWarning("inner");
        EXPECT_EQ(inner.Text(), "inner");
    }
    for (const char* said : {"first", "second", "third", "fourth", "fifth"}) qWarning("%s", said);
    EXPECT_EQ(heard.Text(), "first; second; third (and 2 more)");
}

TEST(LibraryMessages, HearsLibtiffThroughQtsPlugin) {
    core::LibraryMessages heard;
    const core::Result<core::Picture> picture =
        core::LoadPicture(QStringLiteral(TORV_TEST_DATA "/hostile/tiff-lzw-codes-not-in-table.tif"));
    EXPECT_FALSE(picture.ok());
    EXPECT_TRUE(heard.Text().contains("libtiff: Using code not yet in table")) << heard.Text().toStdString();
}
