#include "core/lanczos_shrink.h"

#include "core/parallel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <QThreadPool>
#include <vector>

namespace core {

namespace {

constexpr double kLobes = 3;

double Lanczos(double x) {
    if (x == 0) return 1;
    if (std::abs(x) >= kLobes) return 0;
    const double px = std::numbers::pi * x;
    return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// The source taps of one destination pixel: source indices and normalised weights.
struct Taps {
    std::vector<int> index;
    std::vector<float> weights;
};

// Beyond an edge the picture continues as its mirror image about the edge pixel, which keeps a flat
// picture flat and a fine pattern as even up to the edge as in the middle.
int Mirrored(int j, int n) {
    if (n == 1) return 0;
    const int period = 2 * (n - 1);
    j %= period;
    if (j < 0) j += period;
    return j < n ? j : period - j;
}

std::vector<Taps> MakeTaps(int from, int to) {
    const double scale = double(from) / to;  // >= 1: shrinking widens the filter by the factor
    const double support = kLobes * scale;
    std::vector<Taps> all(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int first = int(std::ceil(centre - support)), last = int(std::floor(centre + support));
        Taps& taps = all[std::size_t(i)];
        double sum = 0;
        for (int j = first; j <= last; ++j) sum += Lanczos((j - centre) / scale);
        for (int j = first; j <= last; ++j) {
            taps.index.push_back(Mirrored(j, from));
            taps.weights.push_back(float(Lanczos((j - centre) / scale) / sum));
        }
    }
    return all;
}

// Rounded half away from zero and clamped, as lround would, without a library call per channel.
std::uint8_t ToByte(float value) {
    if (value <= 0.0f) return 0;
    if (value >= 255.0f) return 255;
    const int whole = int(value);  // the difference below is exact for floats this close
    return std::uint8_t(whole + (value - float(whole) >= 0.5f ? 1 : 0));
}

// line += w * row over n floats. Built for AVX2 as well and picked when the processor has it; the sums
// are the same either way (no fused multiply-add, each element on its own).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
__attribute__((target_clones("avx2", "default")))
#endif
void Accumulate(float* __restrict line, const float* __restrict row, float w, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) line[i] += w * row[i];
}

// Source rows as floats, each converted once while the destination rows that use it are filtered,
// rather than once for every such row.
class FloatRows {
public:
    FloatRows(const QImage& image, std::size_t lineFloats, std::size_t rowCount)
        : image_(image), lineFloats_(lineFloats), rows_(rowCount, std::vector<float>(lineFloats)), tags_(rowCount, -1) {}
    const float* Row(int index) {
        const std::size_t slot = std::size_t(index) % rows_.size();
        std::vector<float>& row = rows_[slot];
        if (tags_[slot] != index) {
            const std::uint8_t* src = image_.constScanLine(index);
            for (std::size_t i = 0; i < lineFloats_; ++i) row[i] = float(src[i]);
            tags_[slot] = index;
        }
        return row.data();
    }

private:
    const QImage& image_;
    std::size_t lineFloats_;
    std::vector<std::vector<float>> rows_;
    std::vector<int> tags_;
};

}  // namespace

Result<QImage> LanczosShrink(const QImage& image, QSize size, QThreadPool* pool) {
    const int sw = image.width(), sh = image.height(), dw = size.width(), dh = size.height();
    if (sw < dw || sh < dh || size.isEmpty())
        return Error{errc::InvalidArgument, QStringLiteral("a shrink cannot enlarge")};
    QImage out(size, image.format());
    if (out.isNull()) return Error{errc::OutOfMemory, QStringLiteral("out of memory")};

    // Each destination row: its source rows filtered into one line, then that line's columns. Rows are
    // independent, so threads share them.
    const std::vector<Taps> rows = MakeTaps(sh, dh), columns = MakeTaps(sw, dw);
    const std::size_t lineFloats = std::size_t(sw) * 4;
    const bool premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
    std::size_t mostTaps = 0;
    for (const Taps& taps : rows) mostTaps = std::max(mostTaps, taps.weights.size());
    // Room for the rows of about two destination rows; a very deep shrink just converts more often.
    const std::size_t cachedRows = std::clamp<std::size_t>(2 * mostTaps + 1, 1, std::min<std::size_t>(128, std::size_t(sh)));
    const auto shrinkRows = [&](int fromRow, int toRow) {
        std::vector<float> line(lineFloats);
        FloatRows source(image, lineFloats, cachedRows);
        for (int y = fromRow; y < toRow; ++y) {
            std::fill(line.begin(), line.end(), 0.0f);
            const Taps& taps = rows[std::size_t(y)];
            for (std::size_t k = 0; k < taps.weights.size(); ++k)
                Accumulate(line.data(), source.Row(taps.index[k]), taps.weights[k], lineFloats);
            std::uint8_t* dst = out.scanLine(y);
            for (int x = 0; x < dw; ++x) {
                const Taps& across = columns[std::size_t(x)];
                float sum[4] = {0, 0, 0, 0};
                for (std::size_t k = 0; k < across.weights.size(); ++k) {
                    const float* src = line.data() + std::size_t(across.index[k]) * 4;
                    for (int c = 0; c < 4; ++c) sum[c] += across.weights[k] * src[c];
                }
                std::uint8_t* pixel = dst + std::size_t(x) * 4;
                for (int c = 0; c < 4; ++c) pixel[c] = ToByte(sum[c]);
                // Overshoot must not leave a colour brighter than its coverage.
                if (premultiplied) {
                    const auto alpha = std::uint8_t(reinterpret_cast<const QRgb*>(pixel)[0] >> 24);
                    for (int c = 0; c < 4; ++c) pixel[c] = std::min(pixel[c], alpha);
                }
            }
        }
    };
    // Small pictures are not worth a thread.
    const int parts = std::int64_t(sw) * sh < 512 * 512
                          ? 1
                          : std::clamp((pool ? pool : QThreadPool::globalInstance())->maxThreadCount(), 1, dh);
    const Result<void> done = ParallelFor(
        pool, parts, [&](int i) { shrinkRows(int(std::int64_t(dh) * i / parts), int(std::int64_t(dh) * (i + 1) / parts)); });
    if (!done) return done.error();
    return out;
}

}  // namespace core
