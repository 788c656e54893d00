#include "bench/camera_like.h"

#include <algorithm>
#include <cmath>
#include <random>

QImage CameraLike(int width, int height, std::uint32_t seed, int noise) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> phase(0, 6.28);
    const double p1 = phase(gen), p2 = phase(gen), p3 = phase(gen);
    std::uniform_int_distribution<int> grain(-noise, noise);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double v = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            const double r = 128 + 90 * std::sin(6.1 * u + 2.3 * v + p1) + 20 * std::sin(97 * u * v);
            const double g = 120 + 80 * std::sin(4.7 * v - 3.1 * u + p2) + 15 * std::cos(151 * u);
            const double b = 110 + 70 * std::cos(5.3 * (u + v) + p3) + 15 * std::sin(173 * v);
            // Mostly brightness noise, as a sensor's, with some colour noise on top.
            const int shared = grain(gen);
            const auto c = [&](double c) { return std::clamp(int(c) + shared + grain(gen) / 3, 0, 255); };
            line[x] = qRgb(c(r), c(g), c(b));
        }
    }
    return image;
}
