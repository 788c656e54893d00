// A picture shrunk straight from its file (a PNG's rows, a WebP's reduced decode) is the picture its whole
// decode shrinks to, whatever its kind, turned the same way: a PNG within rounding, a WebP within what
// libwebp's rescaler, averaging as it decodes, changes.

#include "core/encode_picture.h"
#include "core/picture.h"
#include "core/shrink.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QColorSpace>
#include <QTemporaryDir>

namespace {

// A gradient with transparency growing across it, in format, tagged with space.
QByteArray Png(QImage::Format format, const QColorSpace& space = {}) {
    QImage image = testpics::Gradient(240, 160).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, (image.pixel(x, y) & 0xFFFFFF) | (quint32((x + y) & 0xFF) << 24));
    image = image.convertToFormat(format, Qt::ThresholdDither);
    image.setColorSpace(space);
    return testpics::Encode(image, "PNG");
}

// Orientation 6 (turned a quarter clockwise) in a big-endian Exif block.
const QByteArray kTurned("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 32);

QByteArray Webp(QByteArrayView exif) {
    return *core::EncodePicture(testpics::Gradient(900, 600), {core::OutputFormat::Webp, 95, false}, exif);
}

struct FileCase {
    const char* name;
    QByteArray (*bytes)();
    double psnr;  // at least
};

const FileCase kCases[] = {
    {"Png", [] { return Png(QImage::Format_RGB32); }, 50},
    {"PngRgba", [] { return Png(QImage::Format_ARGB32); }, 50},
    {"Png16", [] { return Png(QImage::Format_RGBA64); }, 50},
    {"PngGrey", [] { return Png(QImage::Format_Grayscale8); }, 50},
    {"PngGrey16", [] { return Png(QImage::Format_Grayscale16); }, 50},
    {"PngPalette", [] { return Png(QImage::Format_Indexed8); }, 50},
    {"PngDisplayP3", [] { return Png(QImage::Format_RGB32, QColorSpace::DisplayP3); }, 50},
    {"PngGamma18",
     [] {
         return Png(QImage::Format_RGB32, {QColorSpace::Primaries::SRgb, 1.8f});
     },
     50},
    {"Webp", [] { return Webp({}); }, 35},
    {"WebpTurned", [] { return Webp(kTurned); }, 35},
};

class ShrinkFromFile : public ::testing::TestWithParam<FileCase> {};

}  // namespace

TEST_P(ShrinkFromFile, MatchesTheWholeDecodeShrunk) {
    QTemporaryDir dir;
    const QString path = testpics::WriteBytes(GetParam().bytes(), dir.filePath("picture"));
    // Loaded without a checking decode, the picture has no decoded version to serve the shrink.
    const core::Result<core::Picture> file = core::LoadPicture(path, core::LoadCheck::HeaderOnly);
    const core::Result<core::Picture> decoded = core::LoadPicture(path);
    ASSERT_TRUE(file.ok() && decoded.ok());
    const core::Result<QImage> whole = decoded->pixels();
    ASSERT_TRUE(whole.ok());
    const QSize size = file->size().scaled(QSize(200, 200), Qt::KeepAspectRatio);
    for (const QColor background : {QColor(), QColor(Qt::white)}) {
        const core::ShrinkOptions options{.pool = nullptr, .background = background, .source = {}};
        const core::Result<QImage> shrunk = core::ShrinkPicture(*file, size, options);
        const core::Result<QImage> expected =
            core::ShrinkPicture(core::Picture::FromImage(*whole), size, options);
        ASSERT_TRUE(shrunk.ok() && expected.ok());
        EXPECT_EQ(shrunk->format(), expected->format());
        EXPECT_GE(testpics::Psnr(*expected, *shrunk), GetParam().psnr) << background.isValid();
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ShrinkFromFile, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });
