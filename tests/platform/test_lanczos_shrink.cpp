// The shrink filter: flat pictures stay flat to the edges, a hard edge stays sharper than box
// averaging makes it, fine stripes average out, the two threads' halves join without a step, and
// premultiplied colour never exceeds its coverage.
#include "platform/lanczos_shrink.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>

namespace {

// Columns left of the middle black, right of it white.
QImage Step(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < width / 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    return image;
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
        const QImage shrunk = platform::LanczosShrink(flat, QSize(from.width() / 3, 1));
        QImage expected(shrunk.size(), QImage::Format_RGB32);
        expected.fill(qRgb(10, 200, 90));
        EXPECT_EQ(testpics::MaxChannelDifference(shrunk, expected), 0)
            << from.width() << "x" << from.height();
    }
}

TEST(LanczosShrink, EdgesStaySharperThanBoxAveraging) {
    const QImage step = Step(800, 600);
    const QImage sharp = platform::LanczosShrink(step, QSize(53, 40));
    const QImage box = step.scaled(53, 40, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LE(Blurred(sharp), 2);
    EXPECT_LT(Blurred(sharp), Blurred(box) + 1);
    EXPECT_EQ(qGreen(sharp.pixel(0, 20)), 0);
    EXPECT_EQ(qGreen(sharp.pixel(52, 20)), 255);
}

TEST(LanczosShrink, FineStripesAverageToGreyAndTheHalvesJoin) {
    // Large enough for two threads; the halves must join without a seam.
    const QImage stripes = testpics::Stripes(1200, 900);
    EXPECT_LE(testpics::MaxDistanceFromGrey(platform::LanczosShrink(stripes, QSize(300, 225)), 128), 3);
    QImage ramp(1000, 800, QImage::Format_RGB32);
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 1000; ++x) ramp.setPixel(x, y, qRgb(y * 255 / 799, y * 255 / 799, y * 255 / 799));
    const QImage shrunk = platform::LanczosShrink(ramp, QSize(250, 200));
    for (int y = 1; y < 200; ++y)
        ASSERT_GE(qGreen(shrunk.pixel(125, y)), qGreen(shrunk.pixel(125, y - 1))) << y;
}

TEST(LanczosShrink, PremultipliedColourStaysWithinItsCoverage) {
    QImage image(600, 600, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int y = 0; y < 600; ++y)
        for (int x = 300; x < 600; ++x) image.setPixel(x, y, qRgba(255, 255, 255, 255));
    const QImage shrunk = platform::LanczosShrink(image, QSize(70, 70));
    ASSERT_EQ(shrunk.format(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 70; ++x) {
            const QRgb p = shrunk.pixel(x, y);
            ASSERT_LE(qRed(p), qAlpha(p)) << x << "," << y;
        }
}
