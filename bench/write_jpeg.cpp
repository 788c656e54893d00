// Throughput of the JPEG writer (the engine's encoder and safe replace, what "3-Kaydet" runs) on a
// 24-megapixel buffer at quality 90, beside libjpeg-turbo's own TurboJPEG encoder on the same pixels in the
// same run.
//   bench_write_jpeg [folder] [repeats] [pixels.ppm]
// With a third argument the pixels are also saved as a PPM, for `tjbench pixels.ppm 90 -subsamp 444`.
#include "core/jpeg_encoder.h"
#include "core/safe_replace.h"

#include <turbojpeg.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr int kWidth = 6000, kHeight = 4000, kQuality = 90;

// Rows of blue, green, red, padded to 4 bytes, the bottom row first: the image buffer's layout.
struct Buffer {
    std::vector<std::uint8_t> bytes;
    int BytesPerScanLine() const { return (kWidth * 3 + 3) & ~3; }
    std::uint8_t* DIBSectionBitsPtr() { return bytes.data(); }
    const std::uint8_t* DIBSectionBitsPtr() const { return bytes.data(); }
    Buffer() : bytes(std::size_t(BytesPerScanLine()) * kHeight) {}
};

bool WriteJpegFile(const Buffer& dib, const QString& path, int quality) {
    const std::ptrdiff_t stride = dib.BytesPerScanLine();
    const core::PixelRows rows{dib.DIBSectionBitsPtr() + (kHeight - 1) * stride, -stride, kWidth, kHeight,
                               core::PixelRows::Layout::Bgr};
    const core::Result<QByteArray> jpeg = core::EncodeJpeg(rows, quality);
    return jpeg && core::SafeReplace(path, *jpeg).ok();
}

// Smooth light falling across the frame, soft shapes and a little sensor noise: roughly what a camera
// gives, so the encoder meets realistic detail rather than noise or flat colour.
void FillCameraLike(Buffer& dib) {
    std::uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* row = dib.DIBSectionBitsPtr() + std::ptrdiff_t(y) * dib.BytesPerScanLine();
        for (int x = 0; x < kWidth; ++x) {
            const double u = double(x) / kWidth, v = double(y) / kHeight;
            const double shade = 0.5 + 0.25 * std::sin(6.0 * u + 2.0 * v) * std::cos(4.0 * v - u);
            const double hill = std::exp(-((u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4)) * 12.0);
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 29) - 4;
            auto at = [&](double base) {
                return std::uint8_t(std::clamp(int(base * 255.0) + noise, 0, 255));
            };
            row[3 * x] = at(0.3 + 0.5 * v * shade);
            row[3 * x + 1] = at(0.2 + 0.6 * shade * (1 - hill) + 0.2 * hill);
            row[3 * x + 2] = at(0.1 + 0.4 * u + 0.4 * hill);
        }
    }
}

double MedianSeconds(int repeats, const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// TurboJPEG's own path: encode the same bottom-up BGR rows in memory and write the bytes to a file.
void TurboJpeg(const Buffer& dib, const QByteArray& path, bool optimise) {
    if (optimise)
        ::setenv("TJ_OPTIMIZE", "1", 1);  // TurboJPEG 2.1 offers optimised Huffman tables only this way
    else
        ::unsetenv("TJ_OPTIMIZE");
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(tj, dib.DIBSectionBitsPtr(), kWidth, dib.BytesPerScanLine(), kHeight, TJPF_BGR, &jpeg,
                    &size, TJSAMP_444, kQuality, TJFLAG_BOTTOMUP) != 0) {
        std::fprintf(stderr, "tjCompress2: %s\n", tjGetErrorStr2(tj));
        std::exit(1);
    }
    std::FILE* f = std::fopen(path.constData(), "wb");
    std::fwrite(jpeg, 1, size, f);
    std::fclose(f);
    tjFree(jpeg);
    tjDestroy(tj);
}

void SavePpm(const Buffer& dib, const char* path) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", kWidth, kHeight);
    std::vector<std::uint8_t> rgb(std::size_t(kWidth) * 3);
    for (int y = kHeight - 1; y >= 0; --y) {  // the buffer's rows lie bottom-up
        const std::uint8_t* row = dib.DIBSectionBitsPtr() + std::ptrdiff_t(y) * dib.BytesPerScanLine();
        for (int x = 0; x < kWidth; ++x)
            rgb[3 * x] = row[3 * x + 2], rgb[3 * x + 1] = row[3 * x + 1], rgb[3 * x + 2] = row[3 * x];
        std::fwrite(rgb.data(), 1, rgb.size(), f);
    }
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    Buffer dib;
    FillCameraLike(dib);
    if (argc > 3) SavePpm(dib, argv[3]);

    const QString ours = QDir(folder).filePath("bench_ours.jpg");
    const QByteArray theirs = QFile::encodeName(QDir(folder).filePath("bench_turbojpeg.jpg"));
    const double megapixels = double(kWidth) * kHeight / 1e6;
    auto report = [&](const char* what, double seconds, qint64 bytes) {
        std::printf("%-44s %7.1f ms  %6.1f MP/s  %6.2f MB\n", what, seconds * 1e3, megapixels / seconds,
                    bytes / 1e6);
    };

    std::printf("%d x %d, quality %d, 4:4:4, median of %d runs, output in %s\n", kWidth, kHeight, kQuality,
                repeats, qPrintable(folder));
    const double tOurs =
        MedianSeconds(repeats, [&] { WriteJpegFile(dib, ours, kQuality); });
    report("EncodeJpeg + SafeReplace (optimised, fsync)", tOurs, QFile(ours).size());
    const double tOpt = MedianSeconds(repeats, [&] { TurboJpeg(dib, theirs, true); });
    report("tjCompress2 + fwrite, TJ_OPTIMIZE=1", tOpt, QFile(QFile::decodeName(theirs)).size());
    const double tStd = MedianSeconds(repeats, [&] { TurboJpeg(dib, theirs, false); });
    report("tjCompress2 + fwrite, standard tables", tStd, QFile(QFile::decodeName(theirs)).size());
    std::printf("ours / TurboJPEG with the same tables: %.1f %% of its throughput\n", 100.0 * tOpt / tOurs);
    QFile::remove(ours);
    QFile::remove(QFile::decodeName(theirs));
    return 0;
}
