// PSNR and SSIM of a picture against a reference of the same size, over the red, green and blue channels:
//   image_metrics REFERENCE PICTURE   prints "PSNR_dB SSIM".
// Both are read at 16 bits a channel and measured on the 8-bit scale, so a 16-bit reference keeps the
// fractions that an 8-bit one would have rounded (ImageMagick 6 writes 8 bits by truncating: its 8-bit
// Lanczos results are half a level darker on average than the same filter written at 16 bits).
// SSIM is the usual one (11 x 11 Gaussian window, sigma 1.5, K1 0.01, K2 0.03), averaged over the three
// channels; ImageMagick 6 has no SSIM metric of its own.
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using Plane = std::vector<double>;

Plane Channel(const QImage& image, int channel) {
    Plane plane(std::size_t(image.width()) * std::size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgba64*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgba64 pixel = row[x];
            const int value = channel == 0 ? pixel.red() : channel == 1 ? pixel.green() : pixel.blue();
            plane[std::size_t(y) * std::size_t(image.width()) + std::size_t(x)] = value / 257.0;
        }
    }
    return plane;
}

// Separable Gaussian blur with the window clamped at the edges.
Plane Blur(const Plane& in, int width, int height) {
    constexpr int kRadius = 5;
    double weights[2 * kRadius + 1];
    double sum = 0;
    for (int i = -kRadius; i <= kRadius; ++i)
        sum += weights[i + kRadius] = std::exp(-i * i / (2 * 1.5 * 1.5));
    for (double& w : weights) w /= sum;
    Plane tmp(in.size()), out(in.size());
    const auto at = [width](int x, int y) { return std::size_t(y) * std::size_t(width) + std::size_t(x); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double v = 0;
            for (int i = -kRadius; i <= kRadius; ++i)
                v += weights[i + kRadius] * in[at(std::clamp(x + i, 0, width - 1), y)];
            tmp[at(x, y)] = v;
        }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double v = 0;
            for (int i = -kRadius; i <= kRadius; ++i)
                v += weights[i + kRadius] * tmp[at(x, std::clamp(y + i, 0, height - 1))];
            out[at(x, y)] = v;
        }
    return out;
}

double Ssim(const Plane& a, const Plane& b, int width, int height) {
    constexpr double kC1 = (0.01 * 255) * (0.01 * 255), kC2 = (0.03 * 255) * (0.03 * 255);
    Plane aa(a.size()), bb(a.size()), ab(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        aa[i] = a[i] * a[i];
        bb[i] = b[i] * b[i];
        ab[i] = a[i] * b[i];
    }
    const Plane muA = Blur(a, width, height), muB = Blur(b, width, height);
    const Plane sAA = Blur(aa, width, height), sBB = Blur(bb, width, height), sAB = Blur(ab, width, height);
    double total = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double varA = sAA[i] - muA[i] * muA[i], varB = sBB[i] - muB[i] * muB[i];
        const double cov = sAB[i] - muA[i] * muB[i];
        total += ((2 * muA[i] * muB[i] + kC1) * (2 * cov + kC2)) /
                 ((muA[i] * muA[i] + muB[i] * muB[i] + kC1) * (varA + varB + kC2));
    }
    return total / double(a.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: image_metrics REFERENCE PICTURE\n");
        return 2;
    }
    const QImage reference = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGBX64);
    const QImage picture = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGBX64);
    if (reference.isNull() || picture.isNull()) {
        std::fprintf(stderr, "image_metrics: cannot read both pictures\n");
        return 1;
    }
    if (reference.size() != picture.size()) {
        std::fprintf(stderr, "image_metrics: sizes differ (%dx%d against %dx%d)\n", picture.width(),
                     picture.height(), reference.width(), reference.height());
        return 1;
    }
    const int width = reference.width(), height = reference.height();
    double squared = 0, ssim = 0;
    for (int channel : {0, 1, 2}) {
        const Plane a = Channel(reference, channel), b = Channel(picture, channel);
        for (std::size_t i = 0; i < a.size(); ++i) squared += (a[i] - b[i]) * (a[i] - b[i]);
        ssim += Ssim(a, b, width, height) / 3;
    }
    const double mse = squared / (3.0 * width * height);
    const double psnr = mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
    std::printf("%.2f %.4f\n", psnr, ssim);
    return 0;
}
