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

// Beyond an edge the picture continues as its mirror image about the edge pixel, which keeps a flat
// picture flat and a fine pattern as even up to the edge as in the middle.
int Mirrored(int j, int n) {
    if (n == 1) return 0;
    const int period = 2 * (n - 1);
    j %= period;
    if (j < 0) j += period;
    return j < n ? j : period - j;
}

std::vector<LanczosPlan::Taps> MakeTaps(int from, int to) {
    const double scale = double(from) / to;  // >= 1: shrinking widens the filter by the factor
    const double support = kLobes * scale;
    std::vector<LanczosPlan::Taps> all(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int first = int(std::ceil(centre - support)), last = int(std::floor(centre + support));
        LanczosPlan::Taps& taps = all[std::size_t(i)];
        double sum = 0;
        for (int j = first; j <= last; ++j) sum += Lanczos((j - centre) / scale);
        for (int j = first; j <= last; ++j) {
            taps.index.push_back(Mirrored(j, from));
            taps.weights.push_back(float(Lanczos((j - centre) / scale) / sum));
        }
        taps.first = *std::min_element(taps.index.begin(), taps.index.end());
        taps.last = *std::max_element(taps.index.begin(), taps.index.end());
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

}  // namespace

LanczosPlan::LanczosPlan(QSize from, QSize to)
    : from_(from), to_(to), rows_(MakeTaps(from.height(), to.height())), columns_(MakeTaps(from.width(), to.width())) {}

LanczosRows::LanczosRows(const LanczosPlan& plan, int firstY, int endY, std::uint8_t* out, qsizetype stride,
                         bool premultiplied)
    : plan_(plan), out_(out), stride_(stride), premultiplied_(premultiplied), endY_(endY), sourceBegin_(0), sourceEnd_(0),
      next_(0), open_(firstY), opened_(firstY), row_(std::size_t(plan.from().width()) * 4) {
    if (firstY >= endY) return;
    sourceBegin_ = plan.from().height();
    for (int y = firstY; y < endY; ++y) {
        sourceBegin_ = std::min(sourceBegin_, plan.firstRow(y));
        sourceEnd_ = std::max(sourceEnd_, plan.endRow(y));
    }
    next_ = sourceBegin_;
}

void LanczosRows::Push(const std::uint8_t* row) {
    const int index = next_++;
    if (index < sourceBegin_ || index >= sourceEnd_) return;
    for (std::size_t i = 0; i < row_.size(); ++i) row_[i] = float(row[i]);
    while (opened_ < endY_ && plan_.firstRow(opened_) <= index) {
        if (spare_.empty()) {
            lines_.emplace_back(row_.size(), 0.0f);
        } else {
            lines_.push_back(std::move(spare_.back()));
            spare_.pop_back();
        }
        ++opened_;
    }
    // A row may be taken twice by one destination row, mirrored at an edge.
    for (int y = open_; y < opened_; ++y) {
        const LanczosPlan::Taps& taps = plan_.row(y);
        std::vector<float>& line = lines_[std::size_t(y - open_)];
        for (std::size_t k = 0; k < taps.index.size(); ++k) {
            if (taps.index[k] == index) Accumulate(line.data(), row_.data(), taps.weights[k], row_.size());
        }
    }
    while (open_ < opened_ && plan_.endRow(open_) <= index + 1) {
        Finish(lines_.front(), open_++);
        spare_.push_back(std::move(lines_.front()));
        lines_.pop_front();
    }
}

void LanczosRows::Finish(std::vector<float>& line, int y) {
    std::uint8_t* dst = out_ + stride_ * y;
    for (int x = 0; x < plan_.to().width(); ++x) {
        const LanczosPlan::Taps& across = plan_.column(x);
        float sum[4] = {0, 0, 0, 0};
        for (std::size_t k = 0; k < across.weights.size(); ++k) {
            const float* src = line.data() + std::size_t(across.index[k]) * 4;
            for (int c = 0; c < 4; ++c) sum[c] += across.weights[k] * src[c];
        }
        std::uint8_t* pixel = dst + std::size_t(x) * 4;
        for (int c = 0; c < 4; ++c) pixel[c] = ToByte(sum[c]);
        // Overshoot must not leave a colour brighter than its coverage.
        if (premultiplied_) {
            const auto alpha = std::uint8_t(reinterpret_cast<const QRgb*>(pixel)[0] >> 24);
            for (int c = 0; c < 4; ++c) pixel[c] = std::min(pixel[c], alpha);
        }
    }
    std::fill(line.begin(), line.end(), 0.0f);
}

int ShrinkBands(QSize source, int destRows, QThreadPool* pool) {
    // Small pictures are not worth a thread.
    if (std::int64_t(source.width()) * source.height() < 512 * 512) return 1;
    return std::clamp((pool ? pool : QThreadPool::globalInstance())->maxThreadCount(), 1, std::max(1, destRows));
}

Result<QImage> LanczosShrink(const QImage& image, QSize size, QThreadPool* pool) {
    const int sw = image.width(), sh = image.height(), dh = size.height();
    if (sw < size.width() || sh < dh || size.isEmpty())
        return Error{errc::InvalidArgument, QStringLiteral("a shrink cannot enlarge")};
    QImage out(size, image.format());
    if (out.isNull()) return Error{errc::OutOfMemory, QStringLiteral("out of memory")};
    const LanczosPlan plan(image.size(), size);
    const bool premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
    // Bands of destination rows are independent: each reads the source rows it needs.
    const int bands = ShrinkBands(image.size(), dh, pool);
    std::uint8_t* bits = out.bits();
    const Result<void> done = ParallelFor(pool, bands, [&](int i) {
        LanczosRows rows(plan, int(std::int64_t(dh) * i / bands), int(std::int64_t(dh) * (i + 1) / bands), bits,
                         out.bytesPerLine(), premultiplied);
        for (int y = rows.sourceBegin(); y < rows.sourceEnd(); ++y) rows.Push(image.constScanLine(y));
    });
    if (!done) return done.error();
    return out;
}

}  // namespace core
