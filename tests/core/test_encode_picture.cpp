// EncodePicture: each format round-trips at its size and colours, transparency where the format has it,
// the Exif block lands in the format's own place, and names pick formats.
#include "core/encode_picture.h"

#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <webp/decode.h>

namespace {

using core::OutputFormat;

// A picture whose left half is see-through when asked, so that a lost alpha or a wrong background shows.
QImage Sample(bool alpha) {
    QImage image = testpics::Gradient(97, 61).convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (alpha)
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width() / 2; ++x) image.setPixel(x, y, qRgba(0, 0, 0, 0));
    return image;
}

QImage Decoded(const QByteArray& bytes, OutputFormat format) {
    if (format != OutputFormat::Webp) return QImage::fromData(bytes).convertToFormat(QImage::Format_ARGB32);
    int width = 0, height = 0;
    uint8_t* bgra = WebPDecodeBGRA(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), &width, &height);
    if (!bgra) return {};
    QImage image = QImage(bgra, width, height, QImage::Format_ARGB32).copy();
    WebPFree(bgra);
    return image;
}

struct Case {
    const char* name;
    OutputFormat format;
    bool alpha;
    int quality;
    bool lossless;
    double leastPsnr;  // inf: exact
};

class EncodePicture : public ::testing::TestWithParam<Case> {};

TEST_P(EncodePicture, RoundTrips) {
    const Case& c = GetParam();
    const QImage source = Sample(c.alpha);
    const core::Result<QByteArray> bytes = core::EncodePicture(source, {c.format, c.quality, c.lossless});
    ASSERT_TRUE(bytes.ok()) << bytes.error().message.toStdString();
    const QImage back = Decoded(*bytes, c.format);
    ASSERT_EQ(back.size(), source.size());
    // JPEG has no transparency: what was see-through comes back white.
    const bool keepsAlpha = c.format != OutputFormat::Jpeg;
    EXPECT_EQ(qAlpha(back.pixel(0, 0)), c.alpha && keepsAlpha ? 0 : 255);
    if (c.alpha && !keepsAlpha) {
        EXPECT_GE(qGray(back.pixel(0, 0)), 250);
    }
    // The opaque right half carries the gradient.
    const QRect opaque(source.width() / 2 + 2, 0, source.width() / 2 - 2, source.height());
    const QImage want = source.copy(opaque).convertToFormat(QImage::Format_RGB32);
    const QImage got = back.copy(opaque).convertToFormat(QImage::Format_RGB32);
    if (std::isinf(c.leastPsnr)) {
        EXPECT_EQ(testpics::MaxChannelDifference(got, want), 0);
    } else {
        EXPECT_GE(testpics::Psnr(got, want), c.leastPsnr);
    }
}

constexpr double kExact = std::numeric_limits<double>::infinity();
INSTANTIATE_TEST_SUITE_P(
    Formats, EncodePicture,
    ::testing::Values(Case{"jpeg_q90", OutputFormat::Jpeg, false, 90, false, 38},
                      Case{"jpeg_q30_alpha_on_white", OutputFormat::Jpeg, true, 30, false, 28},
                      Case{"png", OutputFormat::Png, false, 90, false, kExact},
                      Case{"png_alpha", OutputFormat::Png, true, 90, false, kExact},
                      Case{"webp_q90", OutputFormat::Webp, false, 90, false, 34},
                      Case{"webp_q30_alpha", OutputFormat::Webp, true, 30, false, 28},
                      Case{"webp_lossless_alpha", OutputFormat::Webp, true, 10, true, kExact}),
    [](const auto& info) { return std::string(info.param.name); });

// Quality reaches the lossy formats: a lower one makes a smaller file of a detailed picture.
TEST(EncodePictureQuality, LowerQualityIsSmaller) {
    const QImage noise = testpics::Noise(128, 96);
    for (OutputFormat format : {OutputFormat::Jpeg, OutputFormat::Webp}) {
        const auto high = core::EncodePicture(noise, {format, 95, false});
        const auto low = core::EncodePicture(noise, {format, 40, false});
        ASSERT_TRUE(high.ok() && low.ok());
        EXPECT_LT(low->size() * 3, high->size() * 2) << int(format);
    }
}

TEST(EncodePictureExif, GoesInTheFormatsOwnPlace) {
    const QByteArray tiff("MM\0\x2A\0\0\0\x08\0\0", 10);
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    const QImage image = Sample(false);
    // PNG: an eXIf chunk before the pixels, whose CRC the reader accepts.
    const auto png = core::EncodePicture(image, {OutputFormat::Png, 90, false}, exif);
    ASSERT_TRUE(png.ok());
    const qsizetype chunk = png->indexOf(QByteArray("\0\0\0\x0A" "eXIf", 8) + tiff);
    EXPECT_GT(chunk, 0);
    EXPECT_LT(chunk, png->indexOf("IDAT"));
    EXPECT_EQ(Decoded(*png, OutputFormat::Png).size(), image.size());
    // WebP: an EXIF chunk, little-endian length, in a file libwebp still decodes.
    const auto webp = core::EncodePicture(image, {OutputFormat::Webp, 90, false}, exif);
    ASSERT_TRUE(webp.ok());
    EXPECT_GT(webp->indexOf(QByteArray("EXIF\x0A\0\0\0", 8) + tiff), 0);
    EXPECT_EQ(Decoded(*webp, OutputFormat::Webp).size(), image.size());
}

TEST(EncodePictureRefusals, NothingOrTooLargeForWebp) {
    EXPECT_EQ(core::EncodePicture(QImage(), {}).error().number, core::errc::InvalidArgument);
    const QImage wide(16384, 1, QImage::Format_RGB32);
    EXPECT_EQ(core::EncodePicture(wide, {OutputFormat::Webp, 90, false}).error().number, core::errc::InvalidArgument);
}

TEST(FormatOfName, PngAndWebpByExtensionInAnyCaseElseJpeg) {
    const std::pair<const char*, OutputFormat> cases[] = {
        {"a.jpg", OutputFormat::Jpeg}, {"deneme.png", OutputFormat::Png}, {"x.y.WebP", OutputFormat::Webp},
        {"a.bmp", OutputFormat::Jpeg}, {"png", OutputFormat::Jpeg}, {"a.png.gif", OutputFormat::Jpeg}};
    for (const auto& [name, format] : cases) EXPECT_EQ(core::FormatOfName(QString::fromLatin1(name)), format) << name;
}

}  // namespace
