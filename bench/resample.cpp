// Resampling speed: a 6000 x 4000 buffer shrunk to 1500 x 1000 and enlarged to 8000 x 6000.
// Prints the best of a few runs in target megapixels per second, by wall clock and by CPU time (the
// machine may be shared, and the work runs on one thread).
#include "image/cDIBSection.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    cDIBSection source;
    if (!source.Create(6000, 4000)) return 1;
    std::mt19937 gen(1);
    std::uint8_t* bits = source.DIBSectionBitsPtr();
    for (std::int64_t i = 0, n = std::int64_t(source.BytesPerScanLine()) * source.Height(); i < n; ++i)
        bits[i] = std::uint8_t(gen());

    const struct { int width, height, runs; } cases[] = {{1500, 1000, 7}, {8000, 6000, 3}};
    for (const auto& c : cases) {
        double best = 1e9, bestCpu = 1e9;
        for (int run = 0; run < c.runs; ++run) {
            const auto start = std::chrono::steady_clock::now();
            const std::clock_t cpuStart = std::clock();
            const auto out = source.Resample(c.height, c.width);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
            if (!out) return 1;
            bestCpu = std::min(bestCpu, cpuSeconds);
            best = std::min(best, seconds);
        }
        const double megapixels = double(c.width) * c.height / 1e6;
        std::printf(
            "6000 x 4000 -> %d x %d: wall %.1f ms, %.1f MP/s; CPU %.1f ms, %.1f MP/s (target pixels)\n",
            c.width, c.height, best * 1e3, megapixels / best, bestCpu * 1e3, megapixels / bestCpu);
    }
    return 0;
}
