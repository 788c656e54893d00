// Decoding details behind LoadPicture: EXIF orientation, colour models and colour profiles; a JPEG shrunk
// as its rows are decoded gives what decoding it whole and shrinking gives.

#include "core/exif_orientation.h"
#include "core/icc_profile.h"
#include "core/lanczos_shrink.h"
#include "core/picture.h"
#include "core/picture_decoder.h"
#include "tests/support/CorePictures.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QColorSpace>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <cstring>

using namespace core;
using testcore::Load;
using testcore::Pixels;

namespace {

const QString kData = QStringLiteral(TORV_TEST_DATA);

QByteArray Segment(int marker, const QByteArray& payload) {
    const int length = int(payload.size()) + 2;
    return QByteArray("\xFF") + char(marker) + char(length >> 8) + char(length & 0xFF) + payload;
}

// A big-endian TIFF block with one IFD entry: the orientation tag.
QByteArray ExifBlock(int orientation) {
    return QByteArray("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 25) + char(orientation) +
           QByteArray(6, '\0');
}

// The JPEG with extra segments put right after its start-of-image marker.
QByteArray WithSegments(const QByteArray& jpeg, const QByteArray& segments) {
    return jpeg.first(2) + segments + jpeg.sliced(2);
}

QByteArray EncodeJpeg(const QImage& image) { return testpics::Encode(image, "JPG", 95); }

// The four quarters of the upright test picture (48 x 32, or a reduced version): red, lime / blue, white.
void ExpectUpright(const QImage& image, const std::string& what) {
    ASSERT_EQ(image.width() * 2, image.height() * 3) << what;
    const auto near = [&](double fx, double fy, QRgb b) {
        const QRgb a = image.pixel(int(fx * image.width()), int(fy * image.height()));
        return std::abs(qRed(a) - qRed(b)) < 24 && std::abs(qGreen(a) - qGreen(b)) < 24 &&
               std::abs(qBlue(a) - qBlue(b)) < 24;
    };
    EXPECT_TRUE(near(0.25, 0.25, qRgb(255, 0, 0))) << what;
    EXPECT_TRUE(near(0.75, 0.25, qRgb(0, 255, 0))) << what;
    EXPECT_TRUE(near(0.25, 0.75, qRgb(0, 0, 255))) << what;
    EXPECT_TRUE(near(0.75, 0.75, qRgb(255, 255, 255))) << what;
}

class PictureDecoding : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
};

}  // namespace

TEST_F(PictureDecoding, EveryExifOrientationShowsUpright) {
    for (int n = 1; n <= 8; ++n) {
        const QString path = kData + QStringLiteral("/orient_%1.jpg").arg(n);
        const Picture p = Load(path);
        EXPECT_EQ(p.size(), QSize(48, 32)) << n;
        ExpectUpright(Pixels(p), "orientation " + std::to_string(n));
        ExpectUpright(Pixels(p, QSize(10, 10)), "reduced, orientation " + std::to_string(n));
    }
}

TEST_F(PictureDecoding, AQuarterTurnSwapsTheSizeAndTheScaledDecodeFollows) {
    // Stored 3200 x 2400, shown 2400 x 3200 (orientation 6: turn right).
    const QByteArray jpeg =
        WithSegments(EncodeJpeg(testpics::Gradient(3200, 2400)), Segment(0xE1, ExifBlock(6)));
    const Picture p = Load(Write("portrait.jpg", jpeg));
    EXPECT_EQ(p.size(), QSize(2400, 3200));
    const QImage reduced = Pixels(p, QSize(100, 300));
    EXPECT_TRUE(Covers(reduced.size(), DecodeTarget(QSize(100, 300), p.size())));
    EXPECT_LT(reduced.height(), 3200);
    // The stored top-left corner (black in the gradient) is now the top-right one.
    const QImage full = Pixels(p);
    EXPECT_LT(qGray(full.pixel(2399, 0)), 20);
    EXPECT_GT(qGray(full.pixel(0, 3199)), 100);
}

TEST_F(PictureDecoding, ReadsCmykAndGreyscaleJpegs) {
    const Picture cmyk = Load(kData + "/cmyk.jpg");
    EXPECT_EQ(Pixels(cmyk).size(), QSize(48, 32));
    ExpectUpright(Pixels(cmyk), "cmyk");
    const QImage reduced = Pixels(cmyk, QSize(4, 4));
    EXPECT_TRUE(Covers(reduced.size(), DecodeTarget(QSize(4, 4), cmyk.size())));
    ExpectUpright(reduced, "cmyk reduced");
    const QImage grey = Pixels(Load(kData + "/grey.jpg"));
    ASSERT_EQ(grey.size(), QSize(48, 32));
    const QRgb white = grey.pixel(36, 24);
    EXPECT_EQ(qRed(white), qGreen(white));
    EXPECT_GT(qRed(white), 240);
    EXPECT_EQ(grey.format(), QImage::Format_RGB32);
}

TEST_F(PictureDecoding, ConvertsDisplayP3PicturesToSrgb) {
    const QColorSpace p3(QColorSpace::DisplayP3);
    QImage source(64, 32, QImage::Format_RGB32);
    source.fill(qRgb(200, 100, 50));
    for (int y = 0; y < 32; ++y)
        for (int x = 32; x < 64; ++x) source.setPixel(x, y, qRgb(128, 128, 128));  // neutral half
    QImage tagged = source;
    tagged.setColorSpace(p3);
    const QImage expected = tagged.convertedToColorSpace(QColorSpace::SRgb);
    ASSERT_GT(testpics::MaxChannelDifference(expected, source), 10);  // the conversion matters

    // PNG carries its profile in an iCCP chunk; the JPEG in APP2 chunks, here split in two.
    const QByteArray png = testpics::Encode(tagged, "PNG");
    const QByteArray icc = p3.iccProfile();
    const QByteArray iccHead = QByteArray("ICC_PROFILE\0\x01\x02", 14) + icc.first(100);
    const QByteArray iccTail = QByteArray("ICC_PROFILE\0\x02\x02", 14) + icc.sliced(100);
    const QByteArray jpeg =
        WithSegments(EncodeJpeg(source), Segment(0xE2, iccTail) + Segment(0xE2, iccHead));  // out of order
    ASSERT_EQ(JpegIccProfile(jpeg), icc);

    for (const QString& path : {Write("p3.png", png), Write("p3.jpg", jpeg)}) {
        const QImage loaded = Pixels(Load(path));
        const QRgb colour = loaded.pixel(10, 10), grey = loaded.pixel(50, 10);
        const QRgb want = expected.pixel(10, 10);
        EXPECT_NEAR(qRed(colour), qRed(want), 3) << path.toStdString();
        EXPECT_NEAR(qGreen(colour), qGreen(want), 3) << path.toStdString();
        EXPECT_NEAR(qBlue(colour), qBlue(want), 3) << path.toStdString();
        EXPECT_NEAR(qRed(grey), 128, 3);  // the same white point and curve: greys stay
        EXPECT_NEAR(qBlue(grey), 128, 3);
    }
}

TEST_F(PictureDecoding, LeavesSrgbAndUntaggedPicturesAlone) {
    const QImage gradient = testpics::Gradient(40, 30);
    EXPECT_EQ(testpics::MaxChannelDifference(ToSrgb(gradient, QColorSpace()), gradient), 0);
    EXPECT_EQ(testpics::MaxChannelDifference(ToSrgb(gradient, QColorSpace(QColorSpace::SRgb)), gradient), 0);
    // sRGB primaries with a 2.2 gamma (PNG's gAMA and cHRM as ImageMagick writes them) count as sRGB.
    const QColorSpace gamma22(QColorSpace::Primaries::SRgb, 2.2f);
    EXPECT_EQ(testpics::MaxChannelDifference(ToSrgb(gradient, gamma22), gradient), 0);
    // The same as ImageMagick writes it: sRGB's chromaticities rounded in a cHRM chunk, gAMA 0.45455.
    const QColorSpace rounded(QPointF(0.3127, 0.329), QPointF(0.64, 0.33), QPointF(0.3, 0.6), QPointF(0.15, 0.06),
                              QColorSpace::TransferFunction::Gamma, 1 / 0.45455f);
    EXPECT_EQ(testpics::MaxChannelDifference(ToSrgb(gradient, rounded), gradient), 0);
    QImage tagged = gradient;
    tagged.setColorSpace(gamma22);
    const QImage loaded = Pixels(Load(Write("gamma22.png", testpics::Encode(tagged, "PNG"))));
    EXPECT_EQ(testpics::MaxChannelDifference(loaded, gradient), 0);
    EXPECT_TRUE(JpegIccProfile(EncodeJpeg(gradient)).isEmpty());
    // A missing chunk leaves the profile out rather than using half of it.
    const QByteArray lonely = Segment(0xE2, QByteArray("ICC_PROFILE\0\x01\x02", 14) + "xyz");
    EXPECT_TRUE(JpegIccProfile(WithSegments(EncodeJpeg(gradient), lonely)).isEmpty());
}

TEST(ExifOrientationParser, ReadsBothByteOrdersAndSurvivesEveryTruncation) {
    const QByteArray big = ExifBlock(8).sliced(6);
    EXPECT_EQ(ExifOrientation(big), 8);
    const QByteArray little("II\x2A\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x05\0\0\0\0\0\0\0", 26);
    EXPECT_EQ(ExifOrientation(little), 5);
    for (qsizetype n = 0; n < big.size(); ++n) EXPECT_GE(ExifOrientation(big.first(n)), 1);
    for (qsizetype n = 0; n < 20; ++n) EXPECT_EQ(ExifOrientation(big.first(n)), 1) << n;
    EXPECT_TRUE(OrientationSwapsAxes(6));
    EXPECT_FALSE(OrientationSwapsAxes(3));
}

namespace {

struct StreamCase {
    int orientation;
    QSize into;  // upright
    bool p3 = false;
};

class StreamedShrink : public ::testing::TestWithParam<StreamCase> {};

}  // namespace

// Each DCT scale (1/8 to 1), the size itself, an extreme shape, turned and mirrored, and a colour profile.
TEST_P(StreamedShrink, MatchesTheWholeDecodeShrunk) {
    const StreamCase& c = GetParam();
    static const QByteArray plain = EncodeJpeg(testpics::Noise(1600, 1200));
    const QByteArray p3 = c.p3 ? Segment(0xE2, QByteArray("ICC_PROFILE\0\x01\x01", 14) +
                                                   QColorSpace(QColorSpace::DisplayP3).iccProfile())
                               : QByteArray();
    const auto decoder = OpenJpegDecoder(WithSegments(plain, Segment(0xE1, ExifBlock(c.orientation)) + p3));
    ASSERT_TRUE(decoder.ok() && *decoder);
    const Result<QImage> streamed = (*decoder)->Shrink(c.into, nullptr);
    ASSERT_TRUE(streamed.ok());
    ASSERT_EQ(streamed->size(), c.into);
    const Result<QImage> whole = (*decoder)->Decode(DecodeTarget(c.into, (*decoder)->size()));
    ASSERT_TRUE(whole.ok());
    const QImage reference = whole->size() == c.into ? *whole : *LanczosShrink(*whole, c.into);
    EXPECT_LE(testpics::MaxChannelDifference(*streamed, reference), 1);

    // Handed over in bands, the same rows; a picture to be turned, or not shrunk, is not handed over at all.
    QImage handed(c.into, QImage::Format_RGB32);
    int rows = 0;
    const Result<bool> into = (*decoder)->ShrinkInto(c.into, nullptr, [&](const QImage& band) -> Result<void> {
        for (int y = 0; y < band.height(); ++y, ++rows)
            std::memcpy(handed.scanLine(rows), band.constScanLine(y), std::size_t(band.width()) * 4);
        return {};
    });
    ASSERT_TRUE(into.ok());
    const bool streams = c.orientation == 1 && c.into != (*decoder)->size();
    ASSERT_EQ(*into, streams);
    EXPECT_EQ(rows, streams ? c.into.height() : 0);
    if (streams) {
        EXPECT_EQ(handed, *streamed);
    }
}

TEST(StreamedShrinkInto, ASinksFailureEndsItWithThatError) {
    const auto decoder = OpenJpegDecoder(EncodeJpeg(testpics::Noise(1600, 1200)));
    ASSERT_TRUE(decoder.ok() && *decoder);
    int bands = 0;
    const Result<bool> into = (*decoder)->ShrinkInto(QSize(800, 600), nullptr, [&](const QImage&) -> Result<void> {
        ++bands;
        return Error{Cause::DiskFull, QStringLiteral("full")};
    });
    ASSERT_FALSE(into.ok());
    EXPECT_EQ(into.error().detail, QStringLiteral("full"));
    EXPECT_EQ(bands, 1);
}

INSTANTIATE_TEST_SUITE_P(ScalesAndTurns, StreamedShrink,
                         ::testing::Values(StreamCase{1, {100, 75}}, StreamCase{1, {190, 142}},
                                           StreamCase{1, {350, 262}}, StreamCase{1, {1000, 750}},
                                           StreamCase{1, {1600, 1200}}, StreamCase{1, {1600, 1}},
                                           StreamCase{6, {75, 100}}, StreamCase{6, {262, 350}},
                                           StreamCase{6, {1200, 1600}}, StreamCase{3, {350, 262}},
                                           StreamCase{8, {142, 190}}, StreamCase{5, {1, 1600}},
                                           StreamCase{1, {190, 142}, true}));
