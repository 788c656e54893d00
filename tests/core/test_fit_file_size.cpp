// FitFileSize: on a table of pictures and targets the file fits at the highest quality that does (one
// more would not) in a few encodings; pictures that no quality fits are drawn smaller at the lowest, a
// target nothing fits is refused, and so is an encoding without a quality that is too large.
#include "core/fit_file_size.h"

#include "core/jpeg_encoder.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <cmath>

TEST(FileSize, FitsAtTheHighestQualityThatFits) {
    const auto jpeg = [](const QImage& image, int q) {
        return core::EncodeJpeg(core::PixelRows::Of(image), q);
    };
    // Noise of 320 x 240 takes 20,139 bytes at quality 30, 61,545 at 89 and 126,435 at 90 (full colour
    // from there); the gradient 1,634, 3,899 and 6,363. shrinks: 0 fits by quality, 1 by fewer pixels.
    const struct {
        bool noise;
        qint64 target;
        int highestQuality, shrinks;
    } rows[] = {{false, 1000000, 90, 0}, {false, 3000, 90, 0}, {false, 1640, 90, 0},  {true, 100000, 90, 0},
                {true, 30000, 90, 0},    {true, 30000, 20, 0}, {true, 30000, 100, 0}, {true, 10000, 90, 1},
                {true, 2000, 75, 1},     {true, 200, 90, -1}};  // -1: refused
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.noise << " into " << r.target << " from " << r.highestQuality);
        const QImage original = r.noise ? testpics::Noise(320, 240) : testpics::Gradient(320, 240);
        QImage last = original;  // what was encoded last
        int shrinks = 0;
        const auto shrink = [&](QSize size) -> core::Result<QImage> {
            EXPECT_LE(size.width(), last.width() * 0.9 + 0.5);
            ++shrinks;
            return last = original.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        };
        const core::Result<core::FittedFile> fitted =
            core::FitFileSize(original, r.target, r.highestQuality, jpeg, shrink);
        ASSERT_EQ(fitted ? std::min(shrinks, 1) : -1, r.shrinks);
        if (!fitted) {
            EXPECT_EQ(fitted.error().cause, core::Cause::DoesNotFit);
            continue;
        }
        EXPECT_LE(fitted->bytes.size(), r.target);
        EXPECT_EQ(fitted->bytes, *jpeg(last, fitted->quality));
        if (shrinks > 0) {
            EXPECT_EQ(fitted->quality, core::kLowestFittingQuality);
        } else if (fitted->quality < r.highestQuality) {
            EXPECT_GT(jpeg(last, fitted->quality + 1)->size(), r.target);
        }
        EXPECT_LE(fitted->encodes, shrinks + 1 + std::ceil(std::log2(std::max(1, r.highestQuality - 29))));
    }
}

TEST(FileSize, AnEncodingWithoutAQualityFitsOrIsRefused) {
    const auto png = [](const QImage& image) -> core::Result<QByteArray> {
        return testpics::Encode(image, "PNG");
    };
    const qint64 bytes = png(testpics::Gradient(320, 240))->size();
    EXPECT_EQ(core::FitFileSize(testpics::Gradient(320, 240), bytes, png)->bytes.size(), bytes);
    EXPECT_EQ(core::FitFileSize(testpics::Gradient(320, 240), bytes - 1, png).error().cause,
              core::Cause::DoesNotFit);
}
