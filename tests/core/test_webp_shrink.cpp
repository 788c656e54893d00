// A WebP shrunk from libwebp's reduced decode is the picture its whole decode shrinks to, turned the same
// way, within what a box average before the filter changes.

#include "core/encode_picture.h"
#include "core/picture.h"
#include "core/shrink.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

TEST(WebpShrink, MatchesTheWholeDecodeShrunk) {
    // An Exif block in big-endian order with one entry: Orientation 6 (turned a quarter clockwise).
    const QByteArray turned("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 32);
    for (const QByteArray& exif : {QByteArray(), turned}) {
        QTemporaryDir dir;
        const core::Result<QByteArray> webp =
            core::EncodePicture(testpics::Gradient(900, 600), {core::OutputFormat::Webp, 95, false}, exif);
        ASSERT_TRUE(webp.ok());
        const QString path = testpics::WriteBytes(*webp, dir.filePath("a.webp"));
        const core::Result<core::Picture> file = core::LoadPicture(path, core::LoadCheck::HeaderOnly);
        const core::Result<core::Picture> decoded = core::LoadPicture(path);
        ASSERT_TRUE(file.ok() && decoded.ok());
        const QSize size = exif.isEmpty() ? QSize(200, 133) : QSize(133, 200);
        ASSERT_EQ(file->size(), exif.isEmpty() ? QSize(900, 600) : QSize(600, 900));
        const core::Result<QImage> whole = decoded->pixels();
        ASSERT_TRUE(whole.ok());
        const core::Result<QImage> reduced = core::ShrinkPicture(*file, size);
        const core::Result<QImage> expected = core::ShrinkPicture(core::Picture::FromImage(*whole), size);
        ASSERT_TRUE(reduced.ok() && expected.ok());
        EXPECT_GT(testpics::Psnr(*expected, *reduced), 35) << exif.size();
    }
}
