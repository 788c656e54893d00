#include "image/cDIBSection.h"

#include "platform/clipboard.h"
#include "platform/picture.h"
#include "tests/support/MsgBoxRecorder.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

const QString kMarker = QStringLiteral("left by the test");

}  // namespace

TEST(cDIBSectionCopyToClipboard, ByDefaultOnlyExplainsAndLeavesTheClipboard) {
    QGuiApplication::clipboard()->setText(kMarker);
    cDIBSection dib;
    dib.CreateFromPicture(platform::Picture::FromImage(testpics::Noise(3, 2, 4)));
    const auto live = platform::LiveObjectCount();
    MsgBoxRecorder boxes;
    EXPECT_FALSE(dib.CopyToClipboard());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].prompt,
              QStringLiteral("I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!"));
    EXPECT_EQ(boxes.boxes()[0].style, platform::vbOKOnly);
    EXPECT_EQ(boxes.boxes()[0].title, QStringLiteral("Project1"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kMarker);
    EXPECT_EQ(platform::LiveObjectCount(), live);
}

TEST(cDIBSectionCopyToClipboard, AsBitmapPutsTheBuffersPixels) {
    const QImage picture = testpics::Noise(3, 2, 9);
    cDIBSection dib;
    dib.CreateFromPicture(platform::Picture::FromImage(picture));
    const auto live = platform::LiveObjectCount();
    MsgBoxRecorder boxes;
    EXPECT_TRUE(dib.CopyToClipboard(false));
    EXPECT_TRUE(boxes.empty());
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(3, 2));
    EXPECT_EQ(testpics::MaxChannelDifference(copied, picture), 0);
    EXPECT_EQ(platform::LiveObjectCount(), live) << "the clipboard keeps an image, not our bitmap";
}

TEST(cDIBSectionCopyToClipboard, BusyClipboardRefusesWithoutLeaking) {
    QGuiApplication::clipboard()->setText(kMarker);
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(3, 2));
    const auto live = platform::LiveObjectCount();
    ASSERT_TRUE(platform::OpenClipboard(0));  // someone else holds it
    EXPECT_FALSE(dib.CopyToClipboard(false));
    EXPECT_TRUE(platform::CloseClipboard());
    EXPECT_EQ(platform::LiveObjectCount(), live);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kMarker);
}

TEST(cDIBSectionCopyToClipboard, ReleasedBufferCopiesNothing) {
    QGuiApplication::clipboard()->setText(kMarker);
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(3, 2));
    dib.ClearUp();
    const auto live = platform::LiveObjectCount();
    EXPECT_FALSE(dib.CopyToClipboard(false));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kMarker);
    EXPECT_EQ(platform::LiveObjectCount(), live);
}
