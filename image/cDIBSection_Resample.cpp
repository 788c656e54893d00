// Bilinear resampling of the buffer into a new one, anchored at the bottom-left corner. The output
// bytes follow fixed arithmetic: single-precision steps and positions, a vertical pass rounded to whole
// numbers, then a horizontal pass, each rounded half to even.
#include "image/cDIBSection.h"

#include "platform/runtime.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace platform;

namespace {

// Rounds half to even; exact for the magnitudes met here (far below 2^51).
inline double RoundHalfEven(double value) {
    constexpr double kShift = 6755399441055744.0;  // 1.5 * 2^52: forces rounding to a whole number
    return (value + kShift) - kShift;
}

inline std::uint8_t Clamp255(double value) {
    if (value < 0) return 0;
    if (value > 255) return 255;
    return static_cast<std::uint8_t>(value);
}

// A sampling position split into its whole part and its single-precision fraction.
struct Position {
    std::int32_t whole;
    float fraction;
};

inline Position PositionAt(float scale, std::int32_t index) {
    const float pos = static_cast<float>(static_cast<double>(scale) * index);
    const float whole = std::floor(pos);
    return {static_cast<std::int32_t>(whole), pos - whole};
}

// The source step per target pixel: the difference in integers, the quotient in double, kept as float.
inline float StepFor(std::int32_t sourceSize, std::int32_t targetSize) {
    return static_cast<float>(static_cast<double>(sourceSize - 1) / targetSize);
}

struct ColumnWeights {
    std::int32_t offset;  // byte offset of the left neighbour within a row
    double left;          // 1 - fx
    double right;         // fx
};

}  // namespace

std::unique_ptr<cDIBSection> cDIBSection::Resample(std::int32_t lNewHeight, std::int32_t lNewWidth) const {
    // A buffer without pixel memory (never made, or released) has nothing to read.
    if (m_lPtr == nullptr) return nullptr;
    auto cNew = std::make_unique<cDIBSection>();
    if (!cNew->Create(lNewWidth, lNewHeight)) return nullptr;
    if (lNewWidth == Width() && lNewHeight == Height()) {
        cNew->LoadPictureBlt(m_hDC);
    } else {
        ResampleInto(*cNew);
    }
    return cNew;
}

bool cDIBSection::ResampleInto(cDIBSection& cTo) const {
    const std::uint8_t* const src = m_lPtr;
    std::uint8_t* const dst = cTo.m_lPtr;
    const std::int32_t srcStride = BytesPerScanLine();
    const std::int32_t srcRows = Height();
    const std::int32_t dstStride = cTo.BytesPerScanLine();
    const std::int32_t dstRows = cTo.Height();

    const std::int32_t Wd = cTo.Width();
    const std::int32_t Ws = Width();
    const float xScale = StepFor(Ws, Wd);
    const std::int32_t Hd = cTo.Height();
    const std::int32_t Hs = Height();
    const float yScale = StepFor(Hs, Hd);
    const std::int32_t lastColumn = Wd - 1;
    const std::int32_t lastRow = Hd - 1;
    if (lastColumn < 0 || lastRow < 0) return false;

    // Positions grow (or shrink) monotonically with the index, so the first and last target pixels
    // bound every read; prove them once and the loop needs no checks of its own.
    const Position xFirst = PositionAt(xScale, 0), xLast = PositionAt(xScale, lastColumn);
    const Position yFirst = PositionAt(yScale, 0), yLast = PositionAt(yScale, lastRow);
    const std::int64_t lowestByte = 3 * std::int64_t(std::min(xFirst.whole, xLast.whole));
    const std::int64_t highestByte = 3 * std::int64_t(std::max(xFirst.whole, xLast.whole)) + 5;
    const std::int64_t lowestRow = std::min(yFirst.whole, yLast.whole);
    const std::int64_t highestRow = std::int64_t(std::max(yFirst.whole, yLast.whole)) + 1;
    if (src == nullptr || lowestByte < 0 || highestByte >= srcStride || lowestRow < 0 ||
        highestRow >= srcRows)
        Raise(err::SubscriptOutOfRange);
    if (dst == nullptr || 3 * std::int64_t(lastColumn) + 2 >= dstStride || lastRow >= dstRows)
        Raise(err::SubscriptOutOfRange);

    std::vector<ColumnWeights> columns(static_cast<std::size_t>(Wd));
    for (std::int32_t i = 0; i <= lastColumn; ++i) {
        const Position x = PositionAt(xScale, i);
        columns[i] = {3 * x.whole, 1.0 - static_cast<double>(x.fraction), static_cast<double>(x.fraction)};
    }

    for (std::int32_t j = 0; j <= lastRow; ++j) {
        const Position y = PositionAt(yScale, j);
        const double below = 1.0 - static_cast<double>(y.fraction);
        const double above = static_cast<double>(y.fraction);
        const std::uint8_t* const row0 = src + std::ptrdiff_t(y.whole) * srcStride;
        const std::uint8_t* const row1 = row0 + srcStride;
        std::uint8_t* out = dst + std::ptrdiff_t(j) * dstStride;
        // The vertical values depend only on the source column, so neighbouring target pixels that share
        // one (enlarging) take them over instead of computing them again.
        auto down = [&](std::int32_t offset, double* v) {
            for (int k = 0; k < 3; ++k)
                v[k] = RoundHalfEven(below * row0[offset + k] + above * row1[offset + k]);
        };
        double left[3], right[3];
        std::int32_t current = columns[0].offset;
        down(current, left);
        down(current + 3, right);
        for (std::int32_t i = 0; i <= lastColumn; ++i, out += 3) {
            const ColumnWeights& c = columns[i];
            if (c.offset != current) {
                if (c.offset == current + 3) {
                    std::copy_n(right, 3, left);
                } else {
                    down(c.offset, left);
                }
                down(c.offset + 3, right);
                current = c.offset;
            }
            for (int k = 0; k < 3; ++k)
                out[k] = Clamp255(RoundHalfEven(c.left * left[k] + c.right * right[k]));
        }
    }
    return false;
}
