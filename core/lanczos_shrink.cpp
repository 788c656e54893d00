#include "core/lanczos_shrink.h"

#include "core/huge_page_image.h"
#include "core/parallel.h"

#include <QThreadPool>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace core {

namespace {

constexpr double kLobes = 3;
constexpr int kOne = 1 << LanczosPlan::kOneBits;
// Rows filtered across keep this many bits below the byte, so that the sum down rounds only once.
constexpr int kAcrossBits = 6;
constexpr int kAcrossShift = LanczosPlan::kOneBits - kAcrossBits;
constexpr int kDownShift = LanczosPlan::kOneBits + kAcrossBits;

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

#if defined(__SSE2__)

// Two neighbouring weights as one 32-bit lane, the first in its low half, as madd pairs them.
std::int32_t Pair(const std::int16_t* w) {
    std::int32_t pair;
    std::memcpy(&pair, w, sizeof pair);
    return pair;
}

// One source row of 4-byte pixels filtered across into pixels destination pixels of 4 16-bit values.
// Two taps at a time: their pixels' bytes interleaved channel by channel meet the two weights in one madd.
void SumAcross(const std::uint8_t* src, const LanczosPlan::Axis& columns, int pixels, std::int16_t* dst) {
    const __m128i zero = _mm_setzero_si128(), round = _mm_set1_epi32(1 << (kAcrossShift - 1));
    for (int x = 0; x < pixels; ++x) {
        const std::uint8_t* p = src + std::size_t(columns.first(x)) * 4;
        const std::int16_t* w = columns.weights(x);
        const int count = columns.count(x);
        __m128i sum = round;
        int k = 0;
        for (; k + 1 < count; k += 2) {
            const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 4 * k));
            const __m128i paired = _mm_unpacklo_epi8(_mm_unpacklo_epi8(two, _mm_srli_si128(two, 4)), zero);
            sum = _mm_add_epi32(sum, _mm_madd_epi16(paired, _mm_set1_epi32(Pair(w + k))));
        }
        if (k < count) {
            std::int32_t one;
            std::memcpy(&one, p + 4 * k, sizeof one);
            const __m128i alone = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(one), zero), zero);
            sum = _mm_add_epi32(sum, _mm_madd_epi16(alone, _mm_set1_epi32(std::uint16_t(w[k]))));
        }
        sum = _mm_srai_epi32(sum, kAcrossShift);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + std::size_t(x) * 4), _mm_packs_epi32(sum, sum));
    }
}

// Pixels [from, pixels) of one destination row from count filtered rows and their weights; rows hold whole
// pairs of pixels (8 values), of which the last may be past the row's end.
void SumDown(const std::int16_t* const* rows, const std::int16_t* w, int count, int pixels, std::uint8_t* dst,
             int from = 0) {
    const __m128i round = _mm_set1_epi32(1 << (kDownShift - 1));
    for (int x = from; x < pixels; x += 2) {
        const std::size_t at = std::size_t(x) * 4;
        __m128i low = round, high = round;
        int k = 0;
        for (; k + 1 < count; k += 2) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + at));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k + 1] + at));
            const __m128i weights = _mm_set1_epi32(Pair(w + k));
            low = _mm_add_epi32(low, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), weights));
            high = _mm_add_epi32(high, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), weights));
        }
        if (k < count) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + at));
            const __m128i weights = _mm_set1_epi32(std::uint16_t(w[k]));
            low = _mm_add_epi32(low, _mm_madd_epi16(_mm_unpacklo_epi16(a, _mm_setzero_si128()), weights));
            high = _mm_add_epi32(high, _mm_madd_epi16(_mm_unpackhi_epi16(a, _mm_setzero_si128()), weights));
        }
        const __m128i words =
            _mm_packs_epi32(_mm_srai_epi32(low, kDownShift), _mm_srai_epi32(high, kDownShift));
        const __m128i bytes = _mm_packus_epi16(words, words);
        if (x + 1 < pixels) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + at), bytes);
        } else {
            const std::int32_t last = _mm_cvtsi128_si32(bytes);
            std::memcpy(dst + at, &last, sizeof last);
        }
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define TORV_HAS_AVX2_KERNELS 1

// The same sums four taps (across) or four pixels (down) at a time, for processors with AVX2.
__attribute__((target("avx2"))) void SumAcrossAvx2(const std::uint8_t* src, const LanczosPlan::Axis& columns,
                                                   int pixels, std::int16_t* dst) {
    // Four pixels' bytes, each half holding two of them channel by channel, as the SSE2 version pairs them.
    const __m128i pairs = _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
    const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m128i zero = _mm_setzero_si128(), round = _mm_set1_epi32(1 << (kAcrossShift - 1));
    for (int x = 0; x < pixels; ++x) {
        const std::uint8_t* p = src + std::size_t(columns.first(x)) * 4;
        const std::int16_t* w = columns.weights(x);
        const int count = columns.count(x);
        __m256i sums = _mm256_setzero_si256();
        int k = 0;
        for (; k + 3 < count; k += 4) {
            const __m128i four =
                _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * k)), pairs);
            const __m256i weights = _mm256_permutevar8x32_epi32(
                _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(w + k))), spread);
            sums = _mm256_add_epi32(sums, _mm256_madd_epi16(_mm256_cvtepu8_epi16(four), weights));
        }
        __m128i sum = _mm_add_epi32(
            _mm_add_epi32(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1)), round);
        for (; k + 1 < count; k += 2) {
            const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 4 * k));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_cvtepu8_epi16(_mm_shuffle_epi8(two, pairs)),
                                                    _mm_set1_epi32(Pair(w + k))));
        }
        if (k < count) {
            std::int32_t one;
            std::memcpy(&one, p + 4 * k, sizeof one);
            sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(one)),
                                                    _mm_set1_epi32(std::uint16_t(w[k]))));
        }
        const __m128i words = _mm_packs_epi32(_mm_srai_epi32(sum, kAcrossShift), zero);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + std::size_t(x) * 4), words);
    }
}

__attribute__((target("avx2"))) void SumDownAvx2(const std::int16_t* const* rows, const std::int16_t* w,
                                                 int count, int pixels, std::uint8_t* dst) {
    const __m256i round = _mm256_set1_epi32(1 << (kDownShift - 1));
    int x = 0;
    for (; x + 3 < pixels; x += 4) {
        const std::size_t at = std::size_t(x) * 4;
        __m256i low = round, high = round;
        int k = 0;
        for (; k + 1 < count; k += 2) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + at));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k + 1] + at));
            const __m256i weights = _mm256_set1_epi32(Pair(w + k));
            low = _mm256_add_epi32(low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights));
            high = _mm256_add_epi32(high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights));
        }
        if (k < count) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + at));
            const __m256i weights = _mm256_set1_epi32(std::uint16_t(w[k]));
            low = _mm256_add_epi32(
                low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, _mm256_setzero_si256()), weights));
            high = _mm256_add_epi32(
                high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, _mm256_setzero_si256()), weights));
        }
        // Unpacking and packing stay within each half, so the pixels come out in order.
        const __m256i words =
            _mm256_packs_epi32(_mm256_srai_epi32(low, kDownShift), _mm256_srai_epi32(high, kDownShift));
        const __m256i bytes = _mm256_packus_epi16(words, words);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + at), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + at + 8), _mm256_extracti128_si256(bytes, 1));
    }
    SumDown(rows, w, count, pixels, dst, x);
}

#endif

#else

// The same sums, value by value, where there are no SSE2 registers.
std::int16_t Saturated(int value) { return std::int16_t(std::clamp(value, -32768, 32767)); }

void SumAcross(const std::uint8_t* src, const LanczosPlan::Axis& columns, int pixels, std::int16_t* dst) {
    for (int x = 0; x < pixels; ++x) {
        const std::uint8_t* p = src + std::size_t(columns.first(x)) * 4;
        const std::int16_t* w = columns.weights(x);
        for (int c = 0; c < 4; ++c) {
            int sum = 1 << (kAcrossShift - 1);
            for (int k = 0; k < columns.count(x); ++k) sum += p[4 * k + c] * w[k];
            dst[std::size_t(x) * 4 + std::size_t(c)] = Saturated(sum >> kAcrossShift);
        }
    }
}

void SumDown(const std::int16_t* const* rows, const std::int16_t* w, int count, int pixels,
             std::uint8_t* dst) {
    for (std::size_t i = 0; i < std::size_t(pixels) * 4; ++i) {
        int sum = 1 << (kDownShift - 1);
        for (int k = 0; k < count; ++k) sum += rows[k][i] * w[k];
        dst[i] = std::uint8_t(std::clamp<int>(Saturated(sum >> kDownShift), 0, 255));
    }
}

#endif

// The widest kernels the processor runs; TORV_BASELINE_KERNELS set in the environment keeps the SSE2 ones,
// so that tests and benchmarks reach them on any machine.
using AcrossKernel = void (*)(const std::uint8_t*, const LanczosPlan::Axis&, int, std::int16_t*);
using DownKernel = void (*)(const std::int16_t* const*, const std::int16_t*, int, int, std::uint8_t*);
struct Kernels {
    AcrossKernel across;
    DownKernel down;
};

const Kernels& Chosen() {
#if defined(TORV_HAS_AVX2_KERNELS)
    static const Kernels chosen = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2") && qEnvironmentVariableIsEmpty("TORV_BASELINE_KERNELS"))
            return Kernels{SumAcrossAvx2, SumDownAvx2};
        return Kernels{SumAcross,
                       [](const std::int16_t* const* rows, const std::int16_t* w, int count, int pixels,
                          std::uint8_t* dst) { SumDown(rows, w, count, pixels, dst); }};
    }();
#else
    static const Kernels chosen{SumAcross, SumDown};
#endif
    return chosen;
}

}  // namespace

LanczosPlan::Axis::Axis(int from, int to) : start_{0} {
    const double scale = double(from) / to;  // >= 1: shrinking widens the filter by the factor
    const double support = kLobes * scale;
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int lo = int(std::ceil(centre - support)), hi = int(std::floor(centre + support));
        int first = from, last = 0;
        for (int j = lo; j <= hi; ++j) {
            first = std::min(first, Mirrored(j, from));
            last = std::max(last, Mirrored(j, from));
        }
        std::vector<double> folded(std::size_t(last - first + 1));
        double total = 0;
        for (int j = lo; j <= hi; ++j) {
            const double w = Lanczos((j - centre) / scale);
            folded[std::size_t(Mirrored(j, from) - first)] += w;
            total += w;
        }
        // Rounded to fixed point, the rounding's remainder given to the largest weight so that they sum to
        // exactly one and a flat picture stays flat; weights that round to nothing are left off the ends.
        std::vector<int> fixed;
        for (const double w : folded) fixed.push_back(int(std::lround(w / total * kOne)));
        int sum = 0;
        for (const int w : fixed) sum += w;
        *std::max_element(fixed.begin(), fixed.end()) += kOne - sum;
        const auto kept = std::find_if(fixed.begin(), fixed.end(), [](int w) { return w != 0; });
        const auto end = std::find_if(fixed.rbegin(), fixed.rend(), [](int w) { return w != 0; }).base();
        first_.push_back(first + int(kept - fixed.begin()));
        for (auto w = kept; w != end; ++w) weights_.push_back(std::int16_t(*w));
        start_.push_back(int(weights_.size()));
        widest_ = std::max(widest_, int(end - kept));
    }
}

LanczosPlan::LanczosPlan(QSize from, QSize to)
    : from_(from), to_(to), rows_(from.height(), to.height()), columns_(from.width(), to.width()) {}

LanczosRows::LanczosRows(const LanczosPlan& plan, int firstY, int endY, std::uint8_t* out, qsizetype stride,
                         bool premultiplied)
    : plan_(plan),
      out_(out),
      stride_(stride),
      premultiplied_(premultiplied),
      endY_(endY),
      sourceBegin_(0),
      sourceEnd_(0),
      next_(0),
      open_(firstY),
      ringRows_(1),
      rowWidth_((std::size_t(plan.to().width()) + 1) / 2 * 8) {
    if (firstY >= endY) return;
    const LanczosPlan::Axis& rows = plan.rows();
    // A destination row is finished once the last of the rows it takes, and of those before it, has come;
    // the ring keeps every filtered row from the first that any later row takes.
    std::vector<int> lastEnd(std::size_t(endY - firstY));
    int end = 0;
    for (int y = firstY; y < endY; ++y)
        lastEnd[std::size_t(y - firstY)] = end = std::max(end, rows.first(y) + rows.count(y));
    int first = plan.from().height();
    for (int y = endY - 1; y >= firstY; --y) {
        first = std::min(first, rows.first(y));
        ringRows_ = std::max(ringRows_, lastEnd[std::size_t(y - firstY)] - first);
    }
    sourceBegin_ = first;
    sourceEnd_ = end;
    next_ = sourceBegin_;
    ring_.assign(rowWidth_ * std::size_t(ringRows_), 0);
    taken_.resize(std::size_t(rows.widest()));
}

void LanczosRows::Push(const std::uint8_t* row) {
    const int index = next_++;
    if (index < sourceBegin_ || index >= sourceEnd_) return;
    Chosen().across(row, plan_.columns(), plan_.to().width(),
                    ring_.data() + rowWidth_ * std::size_t(index % ringRows_));
    const LanczosPlan::Axis& rows = plan_.rows();
    while (open_ < endY_ && rows.first(open_) + rows.count(open_) <= next_) Finish(open_++);
}

void LanczosRows::Finish(int y) {
    const LanczosPlan::Axis& rows = plan_.rows();
    const int count = rows.count(y);
    for (int k = 0; k < count; ++k)
        taken_[std::size_t(k)] = ring_.data() + rowWidth_ * std::size_t((rows.first(y) + k) % ringRows_);
    std::uint8_t* dst = out_ + stride_ * y;
    Chosen().down(taken_.data(), rows.weights(y), count, plan_.to().width(), dst);
    // Overshoot must not leave a colour brighter than its coverage.
    if (premultiplied_) {
        for (int x = 0; x < plan_.to().width(); ++x) {
            std::uint8_t* pixel = dst + std::size_t(x) * 4;
            const auto alpha = std::uint8_t(reinterpret_cast<const QRgb*>(pixel)[0] >> 24);
            for (int c = 0; c < 4; ++c) pixel[c] = std::min(pixel[c], alpha);
        }
    }
}

int ShrinkBands(QSize source, int destRows, QThreadPool* pool) {
    // Small pictures are not worth a thread.
    if (std::int64_t(source.width()) * source.height() < 512 * 512) return 1;
    return std::clamp((pool ? pool : QThreadPool::globalInstance())->maxThreadCount(), 1,
                      std::max(1, destRows));
}

Result<QImage> LanczosShrink(const QImage& image, QSize size, QThreadPool* pool) {
    const int sw = image.width(), sh = image.height(), dh = size.height();
    if (sw < size.width() || sh < dh || size.isEmpty())
        return Error{Cause::InvalidSize, QStringLiteral("a shrink cannot enlarge")};
    QImage out = HugePageImage(size, image.format());
    if (out.isNull()) return Error{Cause::OutOfMemory, QStringLiteral("out of memory")};
    const LanczosPlan plan(image.size(), size);
    const bool premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
    // Bands of destination rows are independent: each reads the source rows it needs.
    const int bands = ShrinkBands(image.size(), dh, pool);
    std::uint8_t* bits = out.bits();
    const Result<void> done = ParallelFor(pool, bands, [&](int i) {
        LanczosRows rows(plan, int(std::int64_t(dh) * i / bands), int(std::int64_t(dh) * (i + 1) / bands),
                         bits, out.bytesPerLine(), premultiplied);
        for (int y = rows.sourceBegin(); y < rows.sourceEnd(); ++y) rows.Push(image.constScanLine(y));
    });
    if (!done) return done.error();
    return out;
}

}  // namespace core
