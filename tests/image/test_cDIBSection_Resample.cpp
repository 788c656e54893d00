#include "image/cDIBSection.h"

#include "platform/picture.h"
#include "platform/runtime.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using testpics::DibBytes;
using testpics::SetDibPixel;

namespace {

// A grey buffer from values listed by memory row (bottom row first), left to right.
std::unique_ptr<cDIBSection> Grey(int width, const std::vector<std::vector<int>>& memoryRows) {
    auto dib = std::make_unique<cDIBSection>();
    EXPECT_TRUE(dib->Create(width, int(memoryRows.size())));
    for (int r = 0; r < int(memoryRows.size()); ++r)
        for (int c = 0; c < width; ++c) {
            const auto v = std::uint8_t(memoryRows[r][c]);
            SetDibPixel(*dib, c, r, v, v, v);
        }
    return dib;
}

std::unique_ptr<cDIBSection> FromNoise(int width, int height, std::uint32_t seed) {
    auto dib = std::make_unique<cDIBSection>();
    dib->CreateFromPicture(platform::Picture::FromImage(testpics::Noise(width, height, seed)));
    return dib;
}

std::uint8_t At(const cDIBSection& dib, int column, int memoryRow, int channel) {
    return dib.DIBSectionBitsPtr()[memoryRow * dib.BytesPerScanLine() + 3 * column + channel];
}

// Bilinear sampling written out plainly, pixel by pixel, straight from the arithmetic rules: steps and
// positions rounded to float, a whole-number vertical pass, then the horizontal one.
std::uint8_t Reference(const cDIBSection& src, int width, int height, int column, int memoryRow,
                       int channel) {
    const float xStep = static_cast<float>(double(src.Width() - 1) / double(width));
    const float yStep = static_cast<float>(double(src.Height() - 1) / double(height));
    const float xPos = static_cast<float>(double(xStep) * double(column));
    const float yPos = static_cast<float>(double(yStep) * double(memoryRow));
    const int x0 = int(std::floor(xPos)), y0 = int(std::floor(yPos));
    const double fx = double(xPos - float(x0)), fy = double(yPos - float(y0));
    auto down = [&](int x) {
        return std::nearbyint((1.0 - fy) * At(src, x, y0, channel) + fy * At(src, x, y0 + 1, channel));
    };
    const double value = std::nearbyint((1.0 - fx) * down(x0) + fx * down(x0 + 1));
    return std::uint8_t(std::clamp(value, 0.0, 255.0));
}

// Every call must leave its source as it found it: checked when the guard goes, before the source does.
class Unchanged {
public:
    explicit Unchanged(const cDIBSection& dib) : dib_(dib), bytes_(DibBytes(dib)) {}
    ~Unchanged() { EXPECT_EQ(DibBytes(dib_), bytes_) << "source changed"; }

private:
    const cDIBSection& dib_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

TEST(cDIBSectionResample, GreyPicturesGiveTheTable) {
    const struct {
        const char* what;
        int width;
        std::vector<std::vector<int>> source;    // memory rows, bottom first
        int outWidth, outHeight;
        std::vector<std::vector<int>> expected;  // the first memory rows of the result
    } cases[] = {
        {"2 x 2 to 4 x 4", 2, {{0, 100}, {200, 40}}, 4, 4,
         {{0, 25, 50, 75}, {50, 59, 68, 76}, {100, 92, 85, 78}, {150, 126, 102, 79}}},
        // Same width: still interpolated across.
        {"4 x 2 to 4 x 3", 4, {{0, 100, 200, 50}, {10, 20, 30, 40}}, 4, 3, {{0, 75, 150, 162}}},
        // 1/6 as a float is a shade above 1/6: 99 + 153/6 = 124.5 would round to 124, the float step gives 125.
        {"steps in single precision", 2, {{99, 252}, {0, 0}}, 6, 2, {{99, 125, 150, 176, 201, 227}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto src = Grey(c.width, c.source);
        const Unchanged unchanged(*src);
        const auto out = src->Resample(c.outHeight, c.outWidth);  // height first
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(out->Width(), c.outWidth);
        ASSERT_EQ(out->Height(), c.outHeight);
        for (int r = 0; r < int(c.expected.size()); ++r)
            for (int col = 0; col < c.outWidth; ++col)
                for (int ch = 0; ch < 3; ++ch)
                    EXPECT_EQ(At(*out, col, r, ch), c.expected[r][col]) << "row " << r << " column " << col;
    }
}

TEST(cDIBSectionResample, StepOfExactlyOneTakesTheBottomLeftBlock) {
    const auto src = FromNoise(3, 3, 11);
    const Unchanged unchanged(*src);
    const auto out = src->Resample(2, 2);
    ASSERT_NE(out, nullptr);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(At(*out, c, r, ch), At(*src, c, r, ch));
}

TEST(cDIBSectionResample, SameSizeCopiesThePixelBytes) {
    const auto src = FromNoise(7, 5, 3);
    const Unchanged unchanged(*src);
    const auto out = src->Resample(5, 7);
    ASSERT_NE(out, nullptr);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 7; ++c)
            for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(At(*out, c, r, ch), At(*src, c, r, ch));
}

TEST(cDIBSectionResample, ColourMatchesAPlainReferenceWhenShrinkingAndEnlarging) {
    const auto src = FromNoise(37, 23, 5);
    const Unchanged unchanged(*src);
    const std::pair<int, int> sizes[] = {{50, 17}, {11, 9}, {23, 80}, {3, 2}, {64, 64}};
    for (auto [width, height] : sizes) {
        const auto out = src->Resample(height, width);
        ASSERT_NE(out, nullptr);
        int mismatches = 0, channelsDiffer = 0;
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c) {
                channelsDiffer += At(*out, c, r, 0) != At(*out, c, r, 2);
                for (int ch = 0; ch < 3; ++ch)
                    mismatches += At(*out, c, r, ch) != Reference(*src, width, height, c, r, ch);
            }
        EXPECT_EQ(mismatches, 0) << width << " x " << height;
        EXPECT_GT(channelsDiffer, 0);
    }
}

TEST(cDIBSectionResample, PaddingBytesOfTheTargetAreNotWritten) {
    const auto src = FromNoise(9, 6, 8);
    const Unchanged unchanged(*src);
    const auto out = src->Resample(4, 5);  // stride 16 for 15 bytes of pixels
    ASSERT_NE(out, nullptr);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(out->DIBSectionBitsPtr()[r * 16 + 15], 0);
}

TEST(cDIBSectionResample, NarrowOrFlatSourcesRaiseErrorNine) {
    for (auto [width, height] : {std::pair{1, 5}, std::pair{5, 1}}) {
        const auto src = FromNoise(width, height, 2);
        const Unchanged unchanged(*src);
        const auto live = platform::LiveObjectCount();
        try {
            (void)src->Resample(10, 10);
            ADD_FAILURE() << width << " x " << height << " resampled";
        } catch (const platform::RuntimeError& e) {
            EXPECT_EQ(e.number(), platform::err::SubscriptOutOfRange);
        }
        EXPECT_EQ(platform::LiveObjectCount(), live) << "new buffer not dropped";
        // Its own size is still a plain copy.
        EXPECT_NE(src->Resample(height, width), nullptr);
    }
}

TEST(cDIBSectionResample, RefusedSizesAndReleasedBuffersGiveNoObject) {
    const auto src = FromNoise(4, 4, 1);
    const Unchanged unchanged(*src);
    const auto live = platform::LiveObjectCount();
    EXPECT_EQ(src->Resample(0, 10), nullptr);
    EXPECT_EQ(src->Resample(10, 0), nullptr);
    EXPECT_EQ(platform::LiveObjectCount(), live);

    cDIBSection released;
    ASSERT_TRUE(released.Create(4, 4));
    released.ClearUp();
    EXPECT_EQ(released.Resample(8, 8), nullptr);
    EXPECT_EQ(released.Resample(4, 4), nullptr);
    cDIBSection never;
    EXPECT_EQ(never.Resample(8, 8), nullptr);
    EXPECT_EQ(platform::LiveObjectCount(), live);
}
