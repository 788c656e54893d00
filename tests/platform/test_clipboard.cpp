#include "platform/clipboard.h"

#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

using namespace platform;

namespace {

// Opens the clipboard for one test and always closes it again, so a failing test cannot leave it busy.
struct OpenedClipboard {
    bool opened = OpenClipboard(0);
    ~OpenedClipboard() {
        if (opened) CloseClipboard();
    }
};

}  // namespace

TEST(Clipboard, OpensOnlyOnceAtATime) {
    EXPECT_FALSE(EmptyClipboard()) << "emptied while closed";
    EXPECT_FALSE(CloseClipboard()) << "closed while closed";
    {
        OpenedClipboard clip;
        ASSERT_TRUE(clip.opened);
        EXPECT_FALSE(OpenClipboard(0));
    }
    EXPECT_TRUE(OpenClipboard(0));
    EXPECT_TRUE(CloseClipboard());
}

TEST(Clipboard, TakesABitmapAsItsImageAndDeletesIt) {
    const QImage picture = testpics::Noise(4, 3, 6);
    const HBITMAP bitmap = CreateBitmapFromImage(picture);
    const auto live = LiveObjectCount();
    {
        OpenedClipboard clip;
        ASSERT_TRUE(EmptyClipboard());
        EXPECT_EQ(SetClipboardData(CF_BITMAP, bitmap), bitmap);
    }
    EXPECT_EQ(LiveObjectCount(), live - 1);
    EXPECT_TRUE(BitmapSize(bitmap).isEmpty()) << "bitmap still alive";
    EXPECT_EQ(testpics::MaxChannelDifference(QGuiApplication::clipboard()->image(), picture), 0);
}

TEST(Clipboard, RefusedDataStaysWithTheCaller) {
    const HBITMAP bitmap = CreateBitmapFromImage(testpics::Noise(2, 2, 1));
    EXPECT_EQ(SetClipboardData(CF_BITMAP, bitmap), 0u) << "taken while closed";
    {
        OpenedClipboard clip;
        EXPECT_EQ(SetClipboardData(1 /* CF_TEXT */, bitmap), 0u);
        EXPECT_EQ(SetClipboardData(CF_BITMAP, 0), 0u);
        // A bitmap still selected into a DC cannot be given away.
        const HDC dc = CreateCompatibleDC(0);
        const HGDIOBJ old = SelectObject(dc, bitmap);
        EXPECT_EQ(SetClipboardData(CF_BITMAP, bitmap), 0u);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    EXPECT_EQ(BitmapSize(bitmap), QSize(2, 2));
    EXPECT_TRUE(DeleteObject(bitmap));
}
