// EncodePicture: each format round-trips at its size and colours (transparency kept where the format has
// it, on white in JPEG) with the Exif block in the format's own place.
#include "core/encode_picture.h"

#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <webp/decode.h>

namespace {

using core::OutputFormat;

QImage Decoded(const QByteArray& bytes) {
    int width = 0, height = 0;
    uint8_t* bgra = WebPDecodeBGRA(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()),
                                   &width, &height);
    if (!bgra) return QImage::fromData(bytes).convertToFormat(QImage::Format_ARGB32);  // not WebP
    QImage image = QImage(bgra, width, height, QImage::Format_ARGB32).copy();
    WebPFree(bgra);
    return image;
}

}  // namespace

TEST(EncodePicture, EachFormatRoundTrips) {
    using F = OutputFormat;
    const struct {
        F format;
        bool alpha;  // the left half see-through
        int quality;
        bool lossless;
        double leastPsnr;  // of the opaque half; 99: exact
    } cases[] = {{F::Jpeg, false, 90, false, 38}, {F::Jpeg, true, 30, false, 28},
                 {F::Png, false, 90, false, 99},  {F::Png, true, 90, false, 99},
                 {F::Webp, false, 90, false, 34}, {F::Webp, true, 30, false, 28},
                 {F::Webp, true, 10, true, 99}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.format) * 100 + c.quality);
        QImage source = testpics::Gradient(97, 61).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; c.alpha && x < 48; ++x) source.setPixel(x, y, qRgba(0, 0, 0, 0));
        const QByteArray tiff("MM\0\x2A\0\0\0\x08\0\0", 10);
        const core::Result<QByteArray> bytes =
            core::EncodePicture(source, {c.format, c.quality, c.lossless}, QByteArray("Exif\0\0", 6) + tiff);
        ASSERT_TRUE(bytes.ok()) << bytes.error().detail.toStdString();
        const QImage back = Decoded(*bytes);
        ASSERT_EQ(back.size(), source.size());
        // The Exif block in the format's own place: APP1, eXIf, EXIF (10 bytes long: big-endian in PNG,
        // little-endian in WebP).
        const QByteArray places[] = {QByteArray("Exif\0\0", 6), QByteArray("\0\0\0\neXIf", 8),
                                     QByteArray("EXIF\n\0\0\0", 8)};
        EXPECT_TRUE(bytes->contains(places[int(c.format)] + tiff));
        const QRgb seeThrough = back.pixel(0, 0);
        if (c.alpha) {
            EXPECT_TRUE(c.format == OutputFormat::Jpeg ? qGray(seeThrough) >= 250 : qAlpha(seeThrough) == 0);
        }
        const QRect opaque(50, 0, 47, 61);
        const QImage want = source.copy(opaque).convertToFormat(QImage::Format_RGB32);
        const QImage got = back.copy(opaque).convertToFormat(QImage::Format_RGB32);
        EXPECT_GE(testpics::MaxChannelDifference(got, want) == 0 ? 99 : testpics::Psnr(got, want),
                  c.leastPsnr);
    }
}

// Each format's own limit on a side is told as such, before any encoder runs out of memory over it.
TEST(EncodePicture, APictureLargerThanTheFormatHoldsIsRefusedAsSuch) {
    const struct {
        OutputFormat format;
        int width;
    } cases[] = {{OutputFormat::Jpeg, 65501}, {OutputFormat::Webp, 16384}, {OutputFormat::Png, 1000001}};
    for (const auto& c : cases) {
        QImage line(c.width, 1, QImage::Format_RGB32);
        line.fill(Qt::gray);
        const core::Result<QByteArray> bytes = core::EncodePicture(line, {c.format, 90, false});
        ASSERT_FALSE(bytes.ok()) << c.width;
        EXPECT_EQ(bytes.error().cause, core::Cause::TooLargeForFormat) << c.width;
    }
}
