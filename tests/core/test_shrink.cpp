// The shrink: its fixed-point sums are the filter worked in doubles to within one level, flat pictures
// stay flat to the edges, a hard edge stays sharper than box averaging makes
// it, fine stripes average out, the threads' parts join without a step and give the same pixels however
// many there are, premultiplied colour never exceeds its coverage; a picture is decoded only as far as
// the size needs, a part of it lands exactly, transparency lies on the background or is kept.
#include "core/lanczos_shrink.h"
#include "core/shrink.h"
#include "tests/support/CorePictures.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QThreadPool>
#include <cmath>
#include <numbers>
#include <vector>

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

// One direction of a three-lobed Lanczos shrink from n to m, in doubles: weights[i][j] for source j.
std::vector<std::vector<double>> Weights(int n, int m) {
    const double scale = double(n) / m;
    std::vector<std::vector<double>> all(std::size_t(m), std::vector<double>(std::size_t(n), 0.0));
    for (int i = 0; i < m; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        double total = 0;
        for (int j = int(std::ceil(centre - 3 * scale)); j <= int(std::floor(centre + 3 * scale)); ++j) {
            const double x = std::numbers::pi * (j - centre) / scale;
            const double w = x == 0 ? 1 : 3 * std::sin(x) * std::sin(x / 3) / (x * x);
            int mirrored = n == 1 ? 0 : std::abs(j) % (2 * n - 2);  // the picture mirrored about its edge pixels
            if (mirrored >= n) mirrored = 2 * n - 2 - mirrored;
            all[std::size_t(i)][std::size_t(mirrored)] += w;
            total += w;
        }
        for (double& w : all[std::size_t(i)]) w /= total;
    }
    return all;
}

QImage ShrunkInDoubles(const QImage& image, QSize size) {
    const auto across = Weights(image.width(), size.width()), down = Weights(image.height(), size.height());
    QImage out(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        std::vector<double> column(std::size_t(image.width()) * 3, 0.0);  // the row summed down, then across
        for (int j = 0; j < image.height(); ++j)
            for (int i = 0; i < image.width() && down[std::size_t(y)][std::size_t(j)] != 0; ++i) {
                const QRgb p = image.pixel(i, j);
                const int channels[3] = {qRed(p), qGreen(p), qBlue(p)};
                for (int c = 0; c < 3; ++c) column[std::size_t(i) * 3 + std::size_t(c)] += down[std::size_t(y)][std::size_t(j)] * channels[c];
            }
        for (int x = 0; x < size.width(); ++x) {
            double sum[3] = {0, 0, 0};
            for (int i = 0; i < image.width(); ++i)
                for (int c = 0; c < 3; ++c) sum[c] += across[std::size_t(x)][std::size_t(i)] * column[std::size_t(i) * 3 + std::size_t(c)];
            const auto byte = [](double v) { return int(std::lround(std::clamp(v, 0.0, 255.0))); };
            out.setPixel(x, y, qRgb(byte(sum[0]), byte(sum[1]), byte(sum[2])));
        }
    }
    return out;
}

}  // namespace

// Odd and even widths, a single pixel or row, no shrink in one direction, and bands on threads.
TEST(LanczosShrink, IsTheFilterWorkedInDoublesToWithinOneLevel) {
    const struct {
        QSize from, to;
    } cases[] = {{{37, 29}, {12, 10}}, {{64, 1}, {21, 1}}, {{1, 50}, {1, 7}}, {{90, 60}, {89, 17}},
                 {{40, 40}, {40, 40}}, {{610, 520}, {203, 97}}};
    for (const auto& c : cases) {
        const QImage noise = testpics::Noise(c.from.width(), c.from.height());
        EXPECT_LE(testpics::MaxChannelDifference(Shrunk(noise, c.to), ShrunkInDoubles(noise, c.to)), 1)
            << c.from.width() << "x" << c.from.height() << " into " << c.to.width() << "x" << c.to.height();
    }
}

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

TEST(ShrinkPicture, TransparencyLiesOnTheBackgroundOrIsKept) {
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
    const core::Result<QImage> kept = core::ShrinkPicture(picture, QSize(20, 10), {.background = QColor(), .source = {}});
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(qAlpha(kept->pixel(2, 5)), 0);
    EXPECT_EQ(kept->pixel(17, 5), qRgba(0, 0, 255, 255));
}
