// How fast a picked picture reaches the preview and the shrink, and what each DCT scale costs in quality.
// Makes camera-like JPEGs (smooth content, 4:2:0, quality 92) in /tmp, then times LoadPicture plus the
// preview's request (553 x 337) and plus the shrink's (the fit into 400 x 400); medians of several runs.
// With ImageMagick's convert present, also scores each scale's 400 x 400 shrink against a Lanczos
// reference (PSNR, SSIM). Usage: bench_decode [runs [picture.jpg...]]; the pictures given replace the
// made ones (e.g. ImageMagick's "convert -seed 1 -size 6000x4000 plasma:fractal -quality 92 big.jpg").

#include "core/picture.h"
#include "core/picture_decoder.h"
#include "bench/camera_like.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace core;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Psnr(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const double dr = qRed(p) - qRed(q), dg = qGreen(p) - qGreen(q), db = qBlue(p) - qBlue(q);
            sum += dr * dr + dg * dg + db * db;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Mean SSIM of the luma over 8 x 8 windows moved by 4 pixels.
double Ssim(const QImage& a, const QImage& b) {
    const auto luma = [](const QImage& img, int x, int y) { return double(qGray(img.pixel(x, y))); };
    const double c1 = 6.5025, c2 = 58.5225;
    double total = 0;
    int windows = 0;
    for (int y = 0; y + 8 <= a.height(); y += 4)
        for (int x = 0; x + 8 <= a.width(); x += 4) {
            double ma = 0, mb = 0, va = 0, vb = 0, cov = 0;
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) ma += luma(a, x + i, y + j), mb += luma(b, x + i, y + j);
            ma /= 64, mb /= 64;
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) {
                    const double da = luma(a, x + i, y + j) - ma, db = luma(b, x + i, y + j) - mb;
                    va += da * da, vb += db * db, cov += da * db;
                }
            va /= 63, vb /= 63, cov /= 63;
            total += ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++windows;
        }
    return total / windows;
}

void Timings(const QString& path, QSize size, int runs) {
    const QSize shrink = size.scaled(400, 400, Qt::KeepAspectRatio);
    std::vector<double> load, preview, both;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        {
            const Picture p = *LoadPicture(path);
            load.push_back(t.nsecsElapsed() / 1e6);
            (void)p.pixels(QSize(553, 337));
            preview.push_back(t.nsecsElapsed() / 1e6);
            (void)p.pixels(shrink);
            both.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    std::printf("%5dx%-5d  load %6.1f ms   load+preview %6.1f ms   +shrink source %6.1f ms\n", size.width(),
                size.height(), Median(load), Median(preview), Median(both));
}

void Quality(const QString& path, QSize size) {
    const QString reference = QStringLiteral("/tmp/torv_bench_reference.png");
    if (QProcess::execute(QStringLiteral("convert"),
                          {path, QStringLiteral("-filter"), QStringLiteral("Lanczos"),
                           QStringLiteral("-resize"), QStringLiteral("400x400"), reference}) != 0) {
        std::printf("(convert not found: no quality figures)\n");
        return;
    }
    const QImage lanczos = QImage(reference).convertToFormat(QImage::Format_RGB32);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    Result<std::unique_ptr<PictureDecoder>> opened = OpenPictureDecoder(bytes);
    const std::unique_ptr<PictureDecoder> decoder = std::move(*opened);
    std::printf("quality of the 400x400 shrink (smooth) against Lanczos, by decode scale:\n");
    for (const int denominator : {8, 4, 2, 1}) {
        const QImage decoded =
            *decoder->Decode(QSize(size.width() / denominator, size.height() / denominator));
        const QImage shrunk = decoded.scaled(lanczos.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        std::printf("  1/%d (%dx%d): PSNR %.2f dB  SSIM %.4f\n", denominator, decoded.width(),
                    decoded.height(), Psnr(lanczos, shrunk), Ssim(lanczos, shrunk));
    }
    const QImage chosen = *LoadPicture(path)->pixels(lanczos.size());
    std::printf("  chosen for the shrink with margin %d: %dx%d\n", kDecodeMargin, chosen.width(),
                chosen.height());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    AllowLargeImageReads();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    QStringList paths;
    for (int i = 2; i < argc; ++i) paths << QString::fromLocal8Bit(argv[i]);
    if (paths.isEmpty()) {
        for (const QSize size : {QSize(6000, 4000), QSize(1024, 768)}) {
            const QString path =
                QStringLiteral("/tmp/torv_bench_%1x%2.jpg").arg(size.width()).arg(size.height());
            if (!QFile::exists(path)) CameraLike(size.width(), size.height()).save(path, "JPG", 92);
            paths << path;
        }
    }
    for (const QString& path : paths) {
        QSize size;
        {
            // Let go before timing: a picture still alive would serve the loads below from its pixels.
            const Result<Picture> picture = LoadPicture(path);
            if (!picture) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(picture.error().detail));
                return 1;
            }
            size = picture->size();
        }
        Timings(path, size, runs);
        if (size.width() * size.height() > 4000000) Quality(path, size);
    }
    return 0;
}
