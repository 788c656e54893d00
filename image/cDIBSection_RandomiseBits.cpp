// Fills the buffer's pixels with noise: grey, or green and red over a blue of 0. The generator is
// reseeded from the time of day at every call, so two calls at different moments differ.
#include "image/cDIBSection.h"

#include "platform/runtime.h"

#include <chrono>
#include <random>

using namespace platform;

namespace {

class TimeSeededDraws {
public:
    TimeSeededDraws() {
        // Nanoseconds since midnight: finer than the clock's own seconds, so quick calls still differ.
        using namespace std::chrono;
        const auto now = system_clock::now();
        const auto sinceMidnight = duration_cast<nanoseconds>(now - floor<days>(now)).count();
        std::seed_seq seed{std::uint32_t(sinceMidnight), std::uint32_t(std::uint64_t(sinceMidnight) >> 32)};
        engine_.seed(seed);
    }

    // A single-precision r with 0 <= r < 1: the top 24 bits of a draw, exact in a float.
    float Next() { return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f); }

    // round(r * 255), halves to even, so 0.5 gives 128 and nothing exceeds 255.
    std::uint8_t Sample() { return static_cast<std::uint8_t>(Round(static_cast<double>(Next()) * 255.0)); }

private:
    std::mt19937 engine_;
};

}  // namespace

void cDIBSection::RandomiseBits(bool bGray) {
    // Released memory still reports its old size; there is nothing to write to.
    if (m_lPtr == nullptr) return;
    std::uint8_t* const bits = m_lPtr;
    const std::int32_t stride = BytesPerScanLine();
    const std::int32_t rows = Height();
    TimeSeededDraws draws;
    const std::int32_t lastPixel = CheckedMul(Width() - 1, 3);
    // Every pixel's three bytes lie within the row, ahead of the padding.
    if (std::int64_t(lastPixel) + 2 >= stride) Raise(err::SubscriptOutOfRange);

    if (bGray) {
        for (std::int32_t y = 0; y < rows; ++y) {
            std::uint8_t* const row = bits + std::ptrdiff_t(y) * stride;
            for (std::int32_t x = 0; x <= lastPixel; x += 3) {
                const std::uint8_t value = draws.Sample();
                row[x] = value;
                row[x + 1] = value;
                row[x + 2] = value;
            }
        }
    } else {
        // Column by column: this order decides which draw lands in which byte.
        for (std::int32_t x = 0; x <= lastPixel; x += 3) {
            for (std::int32_t y = 0; y < rows; ++y) {
                std::uint8_t* const pixel = bits + std::ptrdiff_t(y) * stride + x;
                pixel[0] = 0;
                pixel[1] = draws.Sample();
                pixel[2] = draws.Sample();
            }
        }
    }
}
