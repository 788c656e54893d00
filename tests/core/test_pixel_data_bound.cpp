// PixelDataCanFit: files too short for the pixels their headers claim are caught, while real pictures,
// even the most compressible ones, and files missing only their last row's padding pass.

#include "core/picture_decoder.h"
#include "tests/support/CorePictures.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QImage>

using namespace core;

namespace {

using testpics::Encode;

void PutLittle(QByteArray& bytes, int at, std::uint32_t value, int length) {
    for (int i = 0; i < length; ++i) bytes[at + i] = char(value >> (8 * i));
}

// An 8-bit run-length BMP of one colour, coded as a real writer does: runs of 255 and an end-of-line
// code per row, then the end-of-picture code.
QByteArray RleBmp(int width, int height) {
    QByteArray data;
    for (int y = 0; y < height; ++y) {
        for (int left = width; left > 0; left -= 255) data += char(std::min(left, 255)), data += char(1);
        data += QByteArray("\0\0", 2);
    }
    data += QByteArray("\0\1", 2);
    QByteArray bytes(14 + 40 + 256 * 4, '\0');
    bytes[0] = 'B', bytes[1] = 'M';
    PutLittle(bytes, 2, std::uint32_t(bytes.size() + data.size()), 4);
    PutLittle(bytes, 10, std::uint32_t(bytes.size()), 4);
    PutLittle(bytes, 14, 40, 4);
    PutLittle(bytes, 18, std::uint32_t(width), 4);
    PutLittle(bytes, 22, std::uint32_t(height), 4);
    PutLittle(bytes, 26, 1, 2);
    PutLittle(bytes, 28, 8, 2);
    PutLittle(bytes, 30, 1, 4);               // BI_RLE8
    PutLittle(bytes, 54 + 4, 0x00FF8040, 4);  // colour 1
    return bytes + data;
}

// A GIF with one 1 x 1 frame at the given place on a screen of the given size, and a comment before it.
QByteArray Gif(int width, int height, int frameLeft, int frameTop) {
    QByteArray bytes("GIF89a");
    bytes += QByteArray(4, '\0') + QByteArray("\xF0\0\0\x33\x66\x99\0\0\0", 9);
    PutLittle(bytes, 6, std::uint32_t(width), 2);
    PutLittle(bytes, 8, std::uint32_t(height), 2);
    bytes += QByteArray::fromHex("21fe0361626300");
    QByteArray frame = QByteArray::fromHex("2c00000000010001000002024401003b");
    PutLittle(frame, 1, std::uint32_t(frameLeft), 2);
    PutLittle(frame, 3, std::uint32_t(frameTop), 2);
    return bytes + frame;
}

QImage Flat(int width, int height, QImage::Format format) {
    QImage image(width, height, format);
    image.fill(Qt::white);
    return image;
}

}  // namespace

TEST(PixelDataBound, RealPicturesPassEvenTheMostCompressible) {
    for (const QImage::Format format :
         {QImage::Format_Mono, QImage::Format_Indexed8, QImage::Format_RGB32, QImage::Format_ARGB32}) {
        QImage image = testpics::Gradient(37, 23).convertToFormat(format);
        EXPECT_TRUE(PixelDataCanFit(Encode(image, "BMP"))) << format;
        EXPECT_TRUE(PixelDataCanFit(Encode(image, "PNG"))) << format;
    }
    // Flat colour is deflate's best case; the bound still leaves them room.
    EXPECT_TRUE(PixelDataCanFit(Encode(Flat(4000, 4000, QImage::Format_RGB32), "PNG")));
    EXPECT_TRUE(PixelDataCanFit(Encode(Flat(5000, 5000, QImage::Format_Grayscale8), "PNG")));
    EXPECT_TRUE(PixelDataCanFit(Encode(Flat(1, 20000, QImage::Format_RGB32), "BMP")));
    EXPECT_TRUE(PixelDataCanFit(RleBmp(2000, 2000)));
    EXPECT_TRUE(PixelDataCanFit(RleBmp(1, 1)));
    for (const char* name : {"picture.gif", "animated.gif"}) {
        QFile file(QStringLiteral(TORV_TEST_DATA "/") + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        EXPECT_TRUE(PixelDataCanFit(file.readAll())) << name;
    }
    EXPECT_TRUE(PixelDataCanFit(Gif(200, 100, 0, 0)));
    for (const int quality : {1, 95}) {
        const QByteArray bytes = Encode(Flat(4000, 3000, QImage::Format_RGB32), "JPG", quality);
        ASSERT_FALSE(bytes.isEmpty());
        EXPECT_TRUE(PixelDataCanFit(bytes)) << quality << ": " << bytes.size() << " bytes";
    }
}

TEST(PixelDataBound, AFileMissingLessThanARowPasses) {
    // 3 pixels of 24 bits: 9 bytes of a 12-byte row.
    const QByteArray bmp = Encode(testpics::Gradient(3, 10), "BMP");
    EXPECT_TRUE(PixelDataCanFit(bmp.first(bmp.size() - 3)));
    EXPECT_TRUE(PixelDataCanFit(bmp.first(bmp.size() - 12)));
    EXPECT_FALSE(PixelDataCanFit(bmp.first(bmp.size() - 13)));
}

TEST(PixelDataBound, ShortFilesClaimingManyRowsAreCaught) {
    QByteArray bmp = Encode(testpics::Gradient(1, 4), "BMP");
    PutLittle(bmp, 22, 117440521, 4);
    EXPECT_FALSE(PixelDataCanFit(bmp));
    PutLittle(bmp, 22, std::uint32_t(-117440521), 4);  // top-down
    EXPECT_FALSE(PixelDataCanFit(bmp));
    PutLittle(bmp, 10, 0xFFFFFFF0u, 4);  // a bogus pixel offset does not hide it
    EXPECT_FALSE(PixelDataCanFit(bmp));
    PutLittle(bmp, 18, 0x7FFFFFFF, 4);  // nor sizes whose product overflows
    PutLittle(bmp, 22, 0x7FFFFFFF, 4);
    PutLittle(bmp, 28, 0xFFFF, 2);
    EXPECT_FALSE(PixelDataCanFit(bmp));

    // A header size the reader does not know: it reads 16-bit sizes at the old header's places.
    QByteArray odd = Encode(testpics::Gradient(1, 4), "BMP");
    PutLittle(odd, 14, 5632, 4);
    PutLittle(odd, 18, 10277, 2);
    PutLittle(odd, 20, 24905, 2);
    PutLittle(odd, 22, 1, 2);
    PutLittle(odd, 24, 24, 2);
    PutLittle(odd, 30, 0x66330000, 4);  // where a newer header keeps an unknown compression
    EXPECT_FALSE(PixelDataCanFit(odd));

    QByteArray rle = RleBmp(1, 1);
    PutLittle(rle, 22, 10'000'000, 4);
    EXPECT_FALSE(PixelDataCanFit(rle));

    // GIF: a tall screen, or a frame far beyond an empty screen, the reader would fill.
    EXPECT_FALSE(PixelDataCanFit(Gif(255, 60000, 0, 0)));
    EXPECT_FALSE(PixelDataCanFit(Gif(0, 0, 60000, 60000)));

    // JPEG: a frame claiming 16000 x 16000 pixels over a few hundred bytes of scan.
    QByteArray jpeg = Encode(testpics::Gradient(8, 8), "JPG");
    const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(frame, 0);
    for (const int at : {5, 7})
        jpeg[frame + at] = char(16000 >> 8), jpeg[frame + at + 1] = char(16000 & 0xFF);
    EXPECT_FALSE(PixelDataCanFit(jpeg));
    jpeg[frame + 1] = char(0xC9);  // arithmetic coding: no bound
    EXPECT_TRUE(PixelDataCanFit(jpeg));

    QByteArray png = Encode(testpics::Gradient(1, 4), "PNG");
    png[20] = char(0x0B);  // height 4 -> 0x0B000004 (the bound reads no checksum)
    EXPECT_FALSE(PixelDataCanFit(png));
}

TEST(PixelDataBound, OtherFormatsAndDamagedHeadersAreLeftToTheReaders) {
    EXPECT_TRUE(PixelDataCanFit(QByteArray("BM")));
    EXPECT_TRUE(PixelDataCanFit(QByteArray("\x89PNG\r\n\x1a\n", 8)));
    EXPECT_TRUE(PixelDataCanFit(QByteArray()));
    QByteArray zeroWidth = Encode(testpics::Gradient(4, 4), "BMP");
    PutLittle(zeroWidth, 18, 0, 4);
    EXPECT_TRUE(PixelDataCanFit(zeroWidth));
}

TEST(PixelDataBound, ARunLengthBmpLoadsAtItsSize) {
    const QByteArray bmp = RleBmp(300, 200);
    const QString path = QString::fromStdString(::testing::TempDir()) + "/rle8.bmp";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bmp);
    file.close();
    const QImage image = testcore::Pixels(testcore::Load(path));
    ASSERT_EQ(image.size(), QSize(300, 200));
    EXPECT_EQ(image.pixel(299, 0), qRgb(0xFF, 0x80, 0x40));
}
