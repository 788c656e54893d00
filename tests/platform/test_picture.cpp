// The picture object and LoadPicture: sizes, formats, failures, and the sharing of decoded pixels.

#include "platform/picture.h"
#include "platform/picture_decoder.h"
#include "platform/picture_source.h"
#include "platform/runtime.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QColor>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

using namespace platform;

namespace {

const QString kData = QStringLiteral(TORV_TEST_DATA);

QString WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Loads path expecting a runtime error; returns its number (0 when it loaded), and checks that the
// refusal came fast and without touching memory in proportion to the claimed size.
int LoadErrorNumber(const QString& path) {
    const long rssBefore = testmem::PeakMemoryKiB();
    QElapsedTimer timer;
    timer.start();
    int number = 0;
    try {
        LoadPicture(path);
    } catch (const RuntimeError& e) {
        number = e.number();
    }
    EXPECT_LT(timer.elapsed(), 1000) << path.toStdString();
    EXPECT_LT(testmem::PeakMemoryKiB() - rssBefore, 64 * 1024) << path.toStdString();
    return number;
}

std::uint32_t Crc32(const QByteArray& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBigEndian(QByteArray& bytes, qsizetype at, std::uint32_t value, int length) {
    for (int i = 0; i < length; ++i) bytes[at + i] = char(value >> (8 * (length - 1 - i)));
}

class PictureLoading : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
};

}  // namespace

TEST(PictureHimetric, RoundsUpSoThatTheWayBackNeverFallsShort) {
    EXPECT_NEAR(HimetricToPixels(PixelsToHimetric(800)), 800.0126f, 1e-3);
    EXPECT_EQ(PixelsToHimetric(640), 16934);
    EXPECT_GE(HimetricToPixels(PixelsToHimetric(640)), 640.0f);
    for (int px = 1; px <= 5000; ++px) ASSERT_GE(HimetricToPixels(PixelsToHimetric(px)), float(px)) << px;
}

TEST_F(PictureLoading, EmptyPathGivesTheEmptyPicture) {
    const Picture p = LoadPicture();
    EXPECT_TRUE(p.isEmpty());
    EXPECT_EQ(p.Width(), 0);
    EXPECT_EQ(p.pixelSize(), QSize(0, 0));
    EXPECT_TRUE(p.pixels().isNull());
}

TEST_F(PictureLoading, ReadsEachFormatAtItsSizeWithItsPixels) {
    const QImage gradient = testpics::Gradient(300, 180);
    for (const char* suffix : {"bmp", "png", "jpg"}) {
        const QString path = testpics::Save(gradient, Path(QStringLiteral("g.%1").arg(suffix)));
        const Picture p = LoadPicture(path);
        ASSERT_FALSE(p.isEmpty()) << suffix;
        EXPECT_EQ(p.pixelSize(), QSize(300, 180)) << suffix;
        EXPECT_EQ(p.Width(), PixelsToHimetric(300));
        EXPECT_EQ(p.Height(), PixelsToHimetric(180));
        const QImage pixels = p.pixels();
        if (QByteArray(suffix) == "jpg")
            EXPECT_GT(testpics::Psnr(gradient, pixels), 35) << suffix;
        else
            EXPECT_EQ(testpics::MaxChannelDifference(gradient, pixels), 0) << suffix;
    }
    const Picture gif = LoadPicture(kData + "/picture.gif");
    EXPECT_EQ(gif.pixelSize(), QSize(48, 32));
    EXPECT_EQ(testpics::MaxChannelDifference(gif.pixels(), QImage(kData + "/upright.png")), 0);
}

TEST_F(PictureLoading, ShowsTheFirstFrameOfAnAnimatedGif) {
    const QImage first = LoadPicture(kData + "/animated.gif").pixels();
    EXPECT_EQ(testpics::MaxChannelDifference(first, QImage(kData + "/upright.png")), 0);
}

TEST_F(PictureLoading, KeepsTransparencyAndReadsSixteenBitPng) {
    QImage translucent(20, 10, QImage::Format_ARGB32);
    translucent.fill(qRgba(200, 100, 50, 128));
    const QImage alpha = LoadPicture(testpics::Save(translucent, Path("a.png"))).pixels();
    ASSERT_TRUE(alpha.hasAlphaChannel());
    EXPECT_EQ(qAlpha(alpha.pixel(5, 5)), 128);
    EXPECT_EQ(qRed(alpha.pixel(5, 5)), 200);

    QImage deep(20, 10, QImage::Format_RGBX64);
    deep.fill(QColor::fromRgba64(0x8080, 0x4040, 0xC0C0));
    const QImage eight = LoadPicture(testpics::Save(deep, Path("deep.png"))).pixels();
    EXPECT_EQ(eight.pixel(3, 3), qRgb(0x80, 0x40, 0xC0));
}

TEST_F(PictureLoading, AcceptsADoubledSlashInThePath) {
    testpics::Save(testpics::Gradient(40, 30), Path("x.png"));
    EXPECT_EQ(LoadPicture(dir.path() + "//x.png").pixelSize(), QSize(40, 30));
}

TEST_F(PictureLoading, RefusesBadFilesWithTheirErrorNumbers) {
    EXPECT_EQ(LoadErrorNumber(Path("missing.jpg")), err::FileNotFound);
    EXPECT_EQ(LoadErrorNumber(dir.path()), err::FileNotFound);
    EXPECT_EQ(LoadErrorNumber(WriteBytes(Path("empty.jpg"), {})), err::InvalidPicture);
    EXPECT_EQ(LoadErrorNumber(WriteBytes(Path("text.jpg"), "Bu bir resim değil.\n")), err::InvalidPicture);

    const QByteArray jpeg = ReadBytes(testpics::Save(testpics::Noise(400, 300), Path("noise.jpg")));
    EXPECT_EQ(LoadErrorNumber(WriteBytes(Path("cut.jpg"), jpeg.first(jpeg.size() / 2))), err::InvalidPicture);
    EXPECT_EQ(
        LoadErrorNumber(WriteBytes(
            Path("cut.png"), ReadBytes(testpics::Save(testpics::Noise(200, 100), Path("n.png"))).first(400))),
        err::InvalidPicture);
    try {
        LoadPicture(Path("missing.jpg"));
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.description(), QStringLiteral("File not found"));
    }
}

TEST_F(PictureLoading, RefusesGiantPicturesFromTheHeaderAlone) {
    // A JPEG whose frame header claims 65500 x 65500 pixels.
    QByteArray jpeg = ReadBytes(testpics::Save(testpics::Gradient(64, 48), Path("small.jpg")));
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    PutBigEndian(jpeg, sof + 5, 65500, 2);
    PutBigEndian(jpeg, sof + 7, 65500, 2);
    EXPECT_EQ(LoadErrorNumber(WriteBytes(Path("giant.jpg"), jpeg)), err::OutOfMemory);

    // A PNG whose (correctly checksummed) header claims 100000 x 100000 pixels.
    QByteArray png = ReadBytes(testpics::Save(testpics::Gradient(64, 48), Path("small.png")));
    PutBigEndian(png, 16, 100000, 4);
    PutBigEndian(png, 20, 100000, 4);
    PutBigEndian(png, 29, Crc32(png.mid(12, 17)), 4);
    EXPECT_EQ(LoadErrorNumber(WriteBytes(Path("giant.png"), png)), err::OutOfMemory);
}

TEST_F(PictureLoading, RefusesFilesTooShortForThePixelsTheyClaim) {
    // Readers would fill in the missing rows: a few bytes would cost seconds and hundreds of megabytes.
    QByteArray bmp = ReadBytes(testpics::Save(testpics::Gradient(1, 4), Path("thin.bmp")));
    for (int i = 0; i < 4; ++i) bmp[22 + i] = char(117440521 >> (8 * i));
    EXPECT_EQ(LoadErrorNumber(WriteBytes(Path("short.bmp"), bmp)), err::InvalidPicture);

    QByteArray png = ReadBytes(testpics::Save(testpics::Gradient(1, 4), Path("thin.png")));
    PutBigEndian(png, 20, 200'000'000, 4);
    PutBigEndian(png, 29, Crc32(png.mid(12, 17)), 4);
    EXPECT_EQ(LoadErrorNumber(WriteBytes(Path("short.png"), png)), err::InvalidPicture);

    // A BMP short of only its last row's padding is still a picture.
    const QByteArray whole = ReadBytes(testpics::Save(testpics::Gradient(3, 10), Path("three.bmp")));
    EXPECT_EQ(LoadPicture(WriteBytes(Path("cut.bmp"), whole.first(whole.size() - 3))).pixelSize(),
              QSize(3, 10));
}

TEST_F(PictureLoading, AdmitsTwoHundredFiftyMegapixelsButNotMore) {
    const QSize full(20000, 12500);
    EXPECT_EQ(DecodeTarget(QSize(), full), full);
    EXPECT_GE(kMaxPicturePixels, std::int64_t(full.width()) * full.height());
    EXPECT_LT(kMaxPicturePixels, std::int64_t(65500) * 65500);
}

TEST_F(PictureLoading, KeepsTheCheckingDecodeForTheFirstRequest) {
    const Picture p = LoadPicture(testpics::Save(testpics::Gradient(4000, 3000), Path("big.jpg")));
    const auto source = std::dynamic_pointer_cast<const PictureSource>(BitmapSourceOf(p.Handle()));
    ASSERT_TRUE(source);
    ASSERT_EQ(source->cachedSizes().size(), 1u);
    const QSize checked = source->cachedSizes().front();
    EXPECT_LT(checked.width(), 4000);  // a reduced decode, yet one that serves a view or a small shrink
    EXPECT_EQ(p.pixels(kFirstRequest).size(), checked);
    EXPECT_EQ(p.pixels(QSize(400, 300)).size(), checked);
    EXPECT_EQ(source->cachedSizes().size(), 1u);
}

TEST_F(PictureLoading, DecodesReducedVersionsThatCoverTheRequest) {
    const QImage gradient = testpics::Gradient(3200, 2400);
    const Picture p = LoadPicture(testpics::Save(gradient, Path("big.jpg")));
    ASSERT_EQ(p.pixelSize(), QSize(3200, 2400));
    for (const QSize asked : {QSize(100, 100), QSize(553, 337), QSize(400, 266), QSize(1000, 10)}) {
        const QImage reduced = p.pixels(asked);
        EXPECT_TRUE(Covers(reduced.size(), DecodeTarget(asked, p.pixelSize())))
            << asked.width() << "x" << asked.height();
        EXPECT_LE(reduced.width(), 3200);
    }
    const QImage reduced = p.pixels(QSize(200, 150));
    EXPECT_LT(reduced.width(), 3200);
    const QImage full = p.pixels();
    EXPECT_EQ(full.size(), QSize(3200, 2400));
    EXPECT_GT(
        testpics::Psnr(full.scaled(reduced.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation), reduced),
        35);
}

TEST_F(PictureLoading, CopiesAndRepeatedRequestsShareOneDecode) {
    const Picture p = LoadPicture(testpics::Save(testpics::Gradient(1600, 1200), Path("big.jpg")));
    const Picture copy = p;
    const QImage a = p.pixels(QSize(300, 200));
    EXPECT_EQ(copy.pixels(QSize(300, 200)).cacheKey(), a.cacheKey());
    EXPECT_EQ(p.pixels(QSize(250, 150)).cacheKey(), a.cacheKey());  // a smaller request, same version
    const QImage whole = p.pixels();
    EXPECT_EQ(copy.pixels().cacheKey(), whole.cacheKey());
    EXPECT_EQ(p.pixels(QSize(2000, 2000)).cacheKey(), whole.cacheKey());  // more than there is
}

TEST_F(PictureLoading, ASecondLoadOfAnUnchangedFileSharesTheFirstOnesPixels) {
    const QString path = testpics::Save(testpics::Gradient(800, 600), Path("p.jpg"));
    const Picture first = LoadPicture(path);
    const Picture second = LoadPicture(path);
    EXPECT_NE(first.Handle(), second.Handle());
    EXPECT_EQ(first.pixels(QSize(400, 300)).cacheKey(), second.pixels(QSize(400, 300)).cacheKey());
    EXPECT_EQ(first.pixels().cacheKey(), second.pixels().cacheKey());
}

TEST_F(PictureLoading, AChangedFileIsReadAnew) {
    const QString path = testpics::Save(testpics::Gradient(800, 600), Path("p.png"));
    const Picture before = LoadPicture(path);
    const QImage oldPixels = before.pixels();

    testpics::Save(testpics::Noise(800, 600), path);  // same size in pixels, other content
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    f.close();

    const Picture after = LoadPicture(path);
    EXPECT_EQ(testpics::MaxChannelDifference(after.pixels(), testpics::Noise(800, 600)), 0);
    EXPECT_EQ(testpics::MaxChannelDifference(before.pixels(), oldPixels), 0);  // the old one stays itself
}

TEST_F(PictureLoading, AFileDeletedAfterLoadingStillGivesItsPixels) {
    const QString path = testpics::Save(testpics::Gradient(1600, 1200), Path("gone.jpg"));
    const Picture p = LoadPicture(path);
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(p.pixels().size(), QSize(1600, 1200));
}
