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

std::uint8_t ToByte(float value) { return std::uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

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
    const auto shrinkRows = [&](int fromRow, int toRow) {
        std::vector<float> line(lineFloats);
        for (int y = fromRow; y < toRow; ++y) {
            std::fill(line.begin(), line.end(), 0.0f);
            const Taps& taps = rows[std::size_t(y)];
            for (std::size_t k = 0; k < taps.weights.size(); ++k) {
                const float w = taps.weights[k];
                const std::uint8_t* src = image.constScanLine(taps.index[k]);
                for (std::size_t i = 0; i < lineFloats; ++i) line[i] += w * float(src[i]);
            }
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
    ParallelFor(pool, parts, [&](int i) { shrinkRows(int(std::int64_t(dh) * i / parts), int(std::int64_t(dh) * (i + 1) / parts)); });
    return out;
}

}  // namespace core
