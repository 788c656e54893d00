// The shrink: flat pictures stay flat to the edges, a hard edge stays sharper than box averaging makes
// it, fine stripes average out, the threads' parts join without a step and give the same pixels however
// many there are, premultiplied colour never exceeds its coverage; a picture is decoded only as far as
// the size needs, a part of it lands exactly, transparency lies on the background.
#include "core/lanczos_shrink.h"
#include "core/shrink.h"
#include "tests/support/CorePictures.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QThreadPool>

namespace {

// Columns left of the middle black, right of it white.
QImage Step(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < width / 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    return image;
}

QImage Shrunk(const QImage& image, QSize size, QThreadPool* pool = nullptr) {
    const core::Result<QImage> shrunk = core::LanczosShrink(image, size, pool);
    return shrunk ? *shrunk : QImage();
}

// Pixels of the middle row that are neither near black nor near white.
int Blurred(const QImage& image) {
    int count = 0;
    for (int x = 0; x < image.width(); ++x) {
        const int grey = qGreen(image.pixel(x, image.height() / 2));
        if (grey > 16 && grey < 239) ++count;
    }
    return count;
}

}  // namespace

TEST(LanczosShrink, FlatStaysFlatToTheEdges) {
    for (const QSize from : {QSize(90, 70), QSize(1200, 900), QSize(37, 1)}) {
        QImage flat(from, QImage::Format_RGB32);
        flat.fill(qRgb(10, 200, 90));
        const QImage shrunk = Shrunk(flat, QSize(from.width() / 3, 1));
        QImage expected(shrunk.size(), QImage::Format_RGB32);
        expected.fill(qRgb(10, 200, 90));
        EXPECT_EQ(testpics::MaxChannelDifference(shrunk, expected), 0)
            << from.width() << "x" << from.height();
    }
}

TEST(LanczosShrink, EdgesStaySharperThanBoxAveraging) {
    const QImage step = Step(800, 600);
    const QImage sharp = Shrunk(step, QSize(53, 40));
    const QImage box = step.scaled(53, 40, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LE(Blurred(sharp), 2);
    EXPECT_LT(Blurred(sharp), Blurred(box) + 1);
    EXPECT_EQ(qGreen(sharp.pixel(0, 20)), 0);
    EXPECT_EQ(qGreen(sharp.pixel(52, 20)), 255);
}

TEST(LanczosShrink, FineStripesAverageToGreyAndThePartsJoin) {
    // Large enough for threads; their parts must join without a seam.
    const QImage stripes = testpics::Stripes(1200, 900);
    EXPECT_LE(testpics::MaxDistanceFromGrey(Shrunk(stripes, QSize(300, 225)), 128), 3);
    QImage ramp(1000, 800, QImage::Format_RGB32);
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 1000; ++x) ramp.setPixel(x, y, qRgb(y * 255 / 799, y * 255 / 799, y * 255 / 799));
    const QImage shrunk = Shrunk(ramp, QSize(250, 200));
    for (int y = 1; y < 200; ++y)
        ASSERT_GE(qGreen(shrunk.pixel(125, y)), qGreen(shrunk.pixel(125, y - 1))) << y;
}

TEST(LanczosShrink, PremultipliedColourStaysWithinItsCoverage) {
    QImage image(600, 600, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int y = 0; y < 600; ++y)
        for (int x = 300; x < 600; ++x) image.setPixel(x, y, qRgba(255, 255, 255, 255));
    const QImage shrunk = Shrunk(image, QSize(70, 70));
    ASSERT_EQ(shrunk.format(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 70; ++x) {
            const QRgb p = shrunk.pixel(x, y);
            ASSERT_LE(qRed(p), qAlpha(p)) << x << "," << y;
        }
}

TEST(LanczosShrink, ThePixelsDoNotDependOnTheThreads) {
    const QImage noise = testpics::Noise(1300, 900);
    QThreadPool one, four;
    one.setMaxThreadCount(1);
    four.setMaxThreadCount(4);
    const QImage alone = Shrunk(noise, QSize(401, 277), &one);
    EXPECT_EQ(testpics::MaxChannelDifference(Shrunk(noise, QSize(401, 277), &four), alone), 0);
    EXPECT_EQ(testpics::MaxChannelDifference(Shrunk(noise, QSize(401, 277)), alone), 0);
    EXPECT_FALSE(core::LanczosShrink(noise, QSize(1400, 10)).ok());  // it never enlarges
}

TEST(ShrinkPicture, DecodesALargeFileOnlyAsFarAsNeeded) {
    QTemporaryDir dir;
    const core::Picture picture = testcore::Load(testpics::Save(testpics::Gradient(3200, 2400), dir.filePath("big.jpg")));
    const core::Result<QImage> shrunk = core::ShrinkPicture(picture, QSize(100, 75));
    ASSERT_TRUE(shrunk.ok());
    EXPECT_EQ(shrunk->format(), QImage::Format_RGB32);
    for (const QSize& decoded : picture.decodedSizes()) EXPECT_LT(decoded.width(), 3200);
    EXPECT_GT(testpics::Psnr(*shrunk, testpics::Gradient(100, 75)), 30);
}

TEST(ShrinkPicture, APartAtItsOwnSizeIsCopiedExactly) {
    const QImage source = testpics::Noise(50, 40);
    const core::Picture picture = core::Picture::FromImage(source);
    const auto drawn = [&](QSize size, QRect part = QRect()) {
        const core::Result<QImage> result = core::ShrinkPicture(picture, size, {.source = part});
        return result ? *result : QImage();
    };
    EXPECT_EQ(testpics::MaxChannelDifference(drawn(QSize(50, 40)), source), 0);
    EXPECT_EQ(testpics::MaxChannelDifference(drawn(QSize(20, 10), QRect(10, 5, 20, 10)), source.copy(10, 5, 20, 10)), 0);
    // A part reaching past the picture is cut to it; a part wholly outside, or no size, is refused.
    EXPECT_EQ(testpics::MaxChannelDifference(drawn(QSize(10, 10), QRect(40, 30, 30, 30)), source.copy(40, 30, 10, 10)), 0);
    EXPECT_FALSE(core::ShrinkPicture(picture, QSize(10, 10), {.source = QRect(60, 0, 5, 5)}).ok());
    EXPECT_FALSE(core::ShrinkPicture(picture, QSize(0, 10)).ok());
    EXPECT_FALSE(core::ShrinkPicture(core::Picture(), QSize(10, 10)).ok());
}

TEST(ShrinkPicture, TransparencyLiesOnTheBackground) {
    QImage half(200, 100, QImage::Format_ARGB32);
    half.fill(Qt::transparent);
    for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x) half.setPixel(x, y, qRgba(0, 0, 255, 255));
    const core::Picture picture = core::Picture::FromImage(half);
    for (const QColor background : {QColor(Qt::white), QColor(Qt::red)}) {
        const core::Result<QImage> shrunk = core::ShrinkPicture(picture, QSize(20, 10), {.background = background, .source = {}});
        ASSERT_TRUE(shrunk.ok());
        EXPECT_EQ(shrunk->format(), QImage::Format_RGB32);
        EXPECT_EQ(shrunk->pixel(2, 5), background.rgb());
        EXPECT_EQ(shrunk->pixel(17, 5), qRgb(0, 0, 255));
    }
}
