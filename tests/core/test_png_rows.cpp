// A PNG shrunk from libpng's rows comes out as the same PNG decoded whole by Qt's reader and then shrunk,
// whatever its kind: depth, palette, grey, transparency, colour profile.

#include "core/picture.h"
#include "core/shrink.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QColorSpace>
#include <QTemporaryDir>

namespace {

struct PngCase {
    const char* name;
    QImage (*picture)();
};

QImage Tagged(QImage image, const QColorSpace& space) {
    image.setColorSpace(space);
    return image;
}

QImage Transparent(QImage::Format format) {
    QImage image = testpics::Gradient(240, 160).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, (image.pixel(x, y) & 0xFFFFFF) | (quint32((x + y) & 0xFF) << 24));
    return image.convertToFormat(format);
}

const PngCase kCases[] = {
    {"Rgb", [] { return testpics::Noise(240, 160); }},
    {"Rgba", [] { return Transparent(QImage::Format_ARGB32); }},
    {"Rgba16", [] { return Transparent(QImage::Format_RGBA64); }},
    {"Grey", [] { return testpics::GreyRamp(240, 160).convertToFormat(QImage::Format_Grayscale8); }},
    {"Grey16", [] { return testpics::GreyRamp(240, 160).convertToFormat(QImage::Format_Grayscale16); }},
    {"Palette",
     [] {
         return Transparent(QImage::Format_ARGB32)
             .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
     }},
    {"DisplayP3", [] { return Tagged(testpics::Gradient(240, 160), QColorSpace(QColorSpace::DisplayP3)); }},
    {"Gamma18",
     [] { return Tagged(testpics::Gradient(240, 160), QColorSpace(QColorSpace::Primaries::SRgb, 1.8f)); }},
};

class PngRows : public ::testing::TestWithParam<PngCase> {};

}  // namespace

TEST_P(PngRows, ShrinkLikeTheWholeDecode) {
    QTemporaryDir dir;
    const QString path =
        testpics::WriteBytes(testpics::Encode(GetParam().picture(), "PNG"), dir.filePath("a.png"));
    // Loaded without a checking decode, the picture has no decoded version to serve the shrink.
    const core::Result<core::Picture> file = core::LoadPicture(path, core::LoadCheck::HeaderOnly);
    const core::Result<core::Picture> decoded = core::LoadPicture(path);
    ASSERT_TRUE(file.ok() && decoded.ok());
    const core::Result<QImage> whole = decoded->pixels();
    ASSERT_TRUE(whole.ok());
    for (const QColor background : {QColor(), QColor(Qt::white)}) {
        const core::ShrinkOptions options{.pool = nullptr, .background = background, .source = {}};
        const core::Result<QImage> rows = core::ShrinkPicture(*file, QSize(100, 67), options);
        const core::Result<QImage> expected =
            core::ShrinkPicture(core::Picture::FromImage(*whole), QSize(100, 67), options);
        ASSERT_TRUE(rows.ok() && expected.ok());
        EXPECT_EQ(rows->format(), expected->format());
        EXPECT_LE(testpics::MaxChannelDifference(*rows, *expected), 2) << background.isValid();
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PngRows, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });
