// HEIC, AVIF, TIFF and WebP files made by their own tools come out upright, at their size, in sRGB and
// with transparent parts on white.

#include "core/picture.h"
#include "core/picture_decoder.h"
#include "core/shrink.h"
#include "tests/support/CorePictures.h"
#include "tests/support/HeifWriter.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QColorSpace>
#include <QColorTransform>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>

namespace {

constexpr QSize kUpright(320, 192);
constexpr QRgb kQuarters[] = {qRgb(200, 60, 60), qRgb(60, 200, 60), qRgb(60, 60, 200), qRgb(255, 255, 255)};

// Four quarters of kQuarters' colours, left to right and top to bottom; the last one transparent black
// instead of white when asked.
QImage Upright(bool transparentCorner) {
    QImage image(kUpright, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const int w = kUpright.width() / 2, h = kUpright.height() / 2;
    for (int i = 0; i < 4; ++i) p.fillRect(i % 2 * w, i / 2 * h, w, h, QColor::fromRgba(kQuarters[i]));
    if (transparentCorner) p.fillRect(w, h, w, h, QColor(0, 0, 0, 0));
    return image;
}

bool RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// An Exif block of one entry: orientation 6.
const QByteArray kExifSix("MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);

struct Row {
    const char* file;
    // Makes the file in dir from the upright picture's PNG; false when that fails.
    std::function<bool(const QString& png, const QString& file)> make;
    bool transparentCorner = false;
    QColorSpace space{QColorSpace::SRgb};  // the colours in the file are in this space
};

const Row kRows[] = {
    // Stored turned back a quarter, shown upright by the container's rotation; its Exif says 6 as well,
    // which must not turn it again.
    {"turned.heic",
     [](const QString&, const QString& file) {
         return !testfiles::WriteBytes(file, testpics::EncodeHeic(Upright(false).transformed(QTransform().rotate(-90)), 6, kExifSix))
                     .isEmpty();
     }},
    {"ten-bit.avif", [](const QString& png, const QString& file) { return RunTool("avifenc", {"-d", "10", "-s", "8", png, file}); }},
    {"profiled-16bit.tif",
     [](const QString& png, const QString& file) {
         testfiles::WriteBytes(file + ".icc", QColorSpace(QColorSpace::ProPhotoRgb).iccProfile());
         return RunTool("convert", {png, "-depth", "16", "-profile", file + ".icc", file});
     },
     false, QColorSpace(QColorSpace::ProPhotoRgb)},
    {"transparent.webp", [](const QString& png, const QString& file) { return RunTool("cwebp", {"-exact", "-q", "95", png, "-o", file}); },
     true},
};

TEST(InputFormats, EachDecodesUprightInSrgbWithTransparencyOnWhite) {
    QTemporaryDir dir;
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.file);
        const QString png = dir.filePath(QStringLiteral("upright-%1.png").arg(row.transparentCorner));
        ASSERT_TRUE(Upright(row.transparentCorner).save(png));
        const QString file = dir.filePath(row.file);
        ASSERT_TRUE(row.make(png, file));
        // The head alone tells the size as stored, which may be turned a quarter.
        const QSize head = core::PictureHeadSize(core::ReadFileHead(QFile::encodeName(file), core::kHeadSizeBytes).bytes);
        EXPECT_TRUE(head == kUpright || head == kUpright.transposed()) << head.width() << " x " << head.height();
        const core::Picture picture = testcore::Load(file);
        ASSERT_EQ(picture.size(), kUpright);
        const core::Result<QImage> shrunk = core::ShrinkPicture(picture, kUpright / 2);
        ASSERT_TRUE(shrunk.ok()) << shrunk.error().detail.toStdString();
        const QColorTransform toSrgb = row.space.transformationToColorSpace(QColorSpace::SRgb);
        for (int i = 0; i < 4; ++i) {
            const QRgb want = row.transparentCorner && i == 3 ? qRgb(255, 255, 255) : toSrgb.map(kQuarters[i]);
            const QRgb got = shrunk->pixel(int((i % 2 + 0.5) * shrunk->width() / 2), int((i / 2 + 0.5) * shrunk->height() / 2));
            EXPECT_NEAR(qRed(got), qRed(want), 12) << "quarter " << i;
            EXPECT_NEAR(qGreen(got), qGreen(want), 12) << "quarter " << i;
            EXPECT_NEAR(qBlue(got), qBlue(want), 12) << "quarter " << i;
        }
    }
}

TEST(InputFormats, TheHeadTellsTheSizeOfQtsFormatsAndNothingOfOthers) {
    QTemporaryDir dir;
    for (const char* format : {"jpg", "png", "bmp", "tif"}) {
        SCOPED_TRACE(format);
        const QString file = dir.filePath(QStringLiteral("upright.") + QLatin1String(format));
        ASSERT_TRUE(Upright(false).save(file));
        EXPECT_EQ(core::PictureHeadSize(testfiles::ReadBytes(file).left(core::kHeadSizeBytes)), kUpright);
    }
    EXPECT_EQ(core::PictureHeadSize(testfiles::ReadBytes(TORV_TEST_DATA "/picture.gif")), testcore::Load(TORV_TEST_DATA "/picture.gif").size());
    EXPECT_FALSE(core::PictureHeadSize(QByteArray(4096, 'x')).isValid());
    EXPECT_TRUE(core::ReadFileHead("/dev/zero", core::kHeadSizeBytes).bytes.isEmpty());  // no regular file
}

TEST(InputFormats, WebpDecodesStraightToAReducedSize) {
    QTemporaryDir dir;
    const QString png = dir.filePath("upright.png"), webp = dir.filePath("upright.webp");
    ASSERT_TRUE(Upright(false).save(png));
    ASSERT_TRUE(RunTool("cwebp", {"-q", "90", png, "-o", webp}));
    const core::Result<std::unique_ptr<core::PictureDecoder>> decoder = core::OpenPictureDecoder(testfiles::ReadBytes(webp));
    ASSERT_TRUE(decoder.ok());
    const core::Result<QImage> reduced = (*decoder)->Decode(kUpright / 4);
    ASSERT_TRUE(reduced.ok());
    EXPECT_EQ(reduced->size(), kUpright / 4);
}

}  // namespace
