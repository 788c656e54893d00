// EncodeJpeg: every row layout and order comes back upright, colour is halved only below quality 90,
// Huffman tables are optimised, consumed rows are given back only after they are read, an Exif block is
// carried, and sizes JPEG cannot hold are refused.
#include "core/jpeg_encoder.h"

#include "core/huge_page_image.h"

#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

namespace {

// The picture's pixels in the layout asked for, 3 pad bytes of junk after each row, bottom-up or not.
struct Rows {
    std::vector<std::uint8_t> bytes;
    core::PixelRows rows;
    Rows(const QImage& picture, core::PixelRows::Layout layout, bool bottomUp) {
        const int channels = layout == core::PixelRows::Layout::Bgrx ? 4 : 3;
        const std::ptrdiff_t stride = std::ptrdiff_t(picture.width()) * channels + 3;
        bytes.assign(std::size_t(stride) * picture.height(), 0xAB);
        for (int y = 0; y < picture.height(); ++y) {
            std::uint8_t* row = bytes.data() + (bottomUp ? picture.height() - 1 - y : y) * stride;
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb c = picture.pixel(x, y);
                const bool rgb = layout == core::PixelRows::Layout::Rgb;
                row[channels * x] = std::uint8_t(rgb ? qRed(c) : qBlue(c));
                row[channels * x + 1] = std::uint8_t(qGreen(c));
                row[channels * x + 2] = std::uint8_t(rgb ? qBlue(c) : qRed(c));
            }
        }
        const std::uint8_t* top = bytes.data() + (bottomUp ? (picture.height() - 1) * stride : 0);
        rows = {top, bottomUp ? -stride : stride, picture.width(), picture.height(), layout};
    }
};

QByteArray Encoded(const core::PixelRows& rows, int quality, core::ChromaSampling sampling = core::ChromaSampling::ByQuality,
                   QByteArrayView exif = {}) {
    const core::Result<QByteArray> jpeg = core::EncodeJpeg(rows, quality, sampling, exif);
    EXPECT_TRUE(jpeg.ok()) << (jpeg ? "" : jpeg.error().detail.toStdString());
    return jpeg ? *jpeg : QByteArray();
}

class JpegEncoder : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    QImage Decoded(const QByteArray& jpeg) {
        testfiles::WriteBytes(dir_.filePath("out.jpg"), jpeg);
        return testpics::DecodeJpeg(dir_.filePath("out.jpg"));
    }
    int Sampling(const QByteArray& jpeg) {
        testfiles::WriteBytes(dir_.filePath("out.jpg"), jpeg);
        return testpics::JpegSubsampling(dir_.filePath("out.jpg"));
    }
};

}  // namespace

TEST_F(JpegEncoder, EveryLayoutAndRowOrderComesBackUpright) {
    using Layout = core::PixelRows::Layout;
    const QImage picture = testpics::Gradient(37, 23);
    for (const Layout layout : {Layout::Bgr, Layout::Rgb, Layout::Bgrx})
        for (const bool bottomUp : {true, false}) {
            const Rows rows(picture, layout, bottomUp);
            EXPECT_GT(testpics::Psnr(picture, Decoded(Encoded(rows.rows, 95))), 40.0)
                << "layout " << int(layout) << " bottom-up " << bottomUp;
        }
    // A QImage's own rows, and the same bytes whichever layout carried them.
    const QImage rgb32 = picture.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Encoded(core::PixelRows::Of(rgb32), 90), Encoded(Rows(picture, Layout::Bgr, true).rows, 90));
}

TEST_F(JpegEncoder, ColourIsHalvedOnlyBelowQualityNinety) {
    const Rows rows(testpics::Gradient(32, 32), core::PixelRows::Layout::Bgr, false);
    const std::pair<int, int> byQuality[] = {{89, TJSAMP_420}, {90, TJSAMP_444}, {150, TJSAMP_444}, {-5, TJSAMP_420}};
    for (auto [quality, sampling] : byQuality) EXPECT_EQ(Sampling(Encoded(rows.rows, quality)), sampling) << quality;
    const std::pair<core::ChromaSampling, int> chosen[] = {{core::ChromaSampling::Full, TJSAMP_444},
                                                           {core::ChromaSampling::HalfAcross, TJSAMP_422},
                                                           {core::ChromaSampling::HalfBoth, TJSAMP_420}};
    for (auto [sampling, expected] : chosen) EXPECT_EQ(Sampling(Encoded(rows.rows, 95, sampling)), expected);
}

TEST_F(JpegEncoder, HuffmanTablesAreOptimised) {
    // The same pixels through TurboJPEG's standard tables must come out larger.
    const Rows rows(testpics::Noise(64, 64), core::PixelRows::Layout::Bgr, false);
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(tjCompress2(tj, rows.bytes.data(), 64, int(rows.rows.stride), 64, TJPF_BGR, &jpeg, &size, TJSAMP_444, 95, 0), 0);
    tjFree(jpeg);
    tjDestroy(tj);
    EXPECT_LT(Encoded(rows.rows, 95).size(), qsizetype(size));
}

TEST_F(JpegEncoder, ConsumedRowsAreGivenBackOnlyAfterTheyAreRead) {
    // Large enough for whole huge pages; the same file as from rows kept, and the top rows gone after.
    const QImage kept = testpics::Noise(1500, 1200).convertToFormat(QImage::Format_RGB32);
    QImage consumed = core::HugePageImage(kept.size(), QImage::Format_RGB32);
    ASSERT_FALSE(consumed.isNull());
    const auto rowBytes = std::size_t(kept.bytesPerLine());
    for (int y = 0; y < kept.height(); ++y)
        std::memcpy(consumed.scanLine(y), kept.constScanLine(y), rowBytes);
    core::PixelRows rows = core::PixelRows::Of(consumed);
    rows.consumed = true;
    EXPECT_EQ(Encoded(rows, 85), Encoded(core::PixelRows::Of(kept), 85));
    EXPECT_NE(std::memcmp(consumed.constScanLine(0), kept.constScanLine(0), rowBytes), 0);
}

TEST_F(JpegEncoder, RowsWrittenInBandsMakeTheSameFile) {
    const QImage picture = testpics::Noise(300, 203).convertToFormat(QImage::Format_RGB32);
    const QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\0", 16);
    core::JpegWriter writer(300, 203, core::PixelRows::Layout::Bgrx, 85, core::ChromaSampling::ByQuality, exif);
    for (int y = 0, band = 1; y < 203; y += band, band = band * 3 % 61) {
        core::PixelRows rows = core::PixelRows::Of(picture);
        rows.top = picture.constScanLine(y);
        rows.height = std::min(band, 203 - y);
        ASSERT_TRUE(writer.Write(rows).ok());
    }
    const core::Result<QByteArray> banded = writer.Finish();
    ASSERT_TRUE(banded.ok());
    EXPECT_EQ(*banded, Encoded(core::PixelRows::Of(picture), 85, core::ChromaSampling::ByQuality, exif));

    // Finished before its last row, it fails rather than writing a short file.
    core::JpegWriter cut(300, 203, core::PixelRows::Layout::Bgrx, 85);
    core::PixelRows half = core::PixelRows::Of(picture);
    half.height = 100;
    ASSERT_TRUE(cut.Write(half).ok());
    EXPECT_FALSE(cut.Finish().ok());
}

TEST_F(JpegEncoder, CarriesAnExifBlockRightAfterTheHeader) {
    const Rows rows(testpics::Gradient(8, 8), core::PixelRows::Layout::Bgr, false);
    const QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\0", 16);
    const QByteArray jpeg = Encoded(rows.rows, 90, core::ChromaSampling::ByQuality, exif);
    const qsizetype at = jpeg.indexOf(QByteArray("\xFF\xE1", 2));
    ASSERT_GT(at, 0);
    EXPECT_LT(at, 30);  // after SOI and JFIF, before any table
    EXPECT_EQ(jpeg.mid(at + 4, exif.size()), exif);
    EXPECT_EQ(Decoded(jpeg).size(), QSize(8, 8));
}

TEST_F(JpegEncoder, RefusesWhatAJpegCannotHold) {
    const Rows rows(testpics::Gradient(4, 4), core::PixelRows::Layout::Bgr, false);
    core::PixelRows none = rows.rows, wide = rows.rows, nothing = rows.rows;
    none.width = 0;
    wide.width = 65501;
    nothing.top = nullptr;
    EXPECT_EQ(core::EncodeJpeg(none, 90).error().cause, core::Cause::InvalidSize);
    EXPECT_EQ(core::EncodeJpeg(nothing, 90).error().cause, core::Cause::InvalidSize);
    EXPECT_EQ(core::EncodeJpeg(wide, 90).error().cause, core::Cause::TooLargeForFormat);
    EXPECT_FALSE(core::EncodeJpeg(rows.rows, 90, core::ChromaSampling::ByQuality, QByteArray(70000, 'x')).ok());
}

TEST_F(JpegEncoder, RunningOutOfMemoryAfterTheOutputGrewIsOutOfMemory) {
    const QImage noise = testpics::Noise(600, 400);  // about 700 KB at quality 100: grows four times
    const Rows rows(noise, core::PixelRows::Layout::Bgrx, false);
    for (int growths : {0, 1, 3}) {
        core::jpegOutputGrowthsBeforeFailure = growths;
        const core::Result<QByteArray> jpeg = core::EncodeJpeg(rows.rows, 100);
        core::jpegOutputGrowthsBeforeFailure = -1;
        ASSERT_FALSE(jpeg.ok()) << growths;
        EXPECT_EQ(jpeg.error().cause, core::Cause::OutOfMemory) << growths;
    }
}
