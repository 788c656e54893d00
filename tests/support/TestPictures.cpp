#include "tests/support/TestPictures.h"

#include "image/cDIBSection.h"

#include <turbojpeg.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

namespace testpics {

QImage Gradient(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int r = width > 1 ? x * 255 / (width - 1) : 0;
            const int g = height > 1 ? y * 255 / (height - 1) : 0;
            const int b = (width + height > 2) ? (x + y) * 255 / (width + height - 2) : 0;
            line[x] = qRgb(r, g, b);
        }
    }
    return img;
}

QImage Stripes(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) line[x] = x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
    return img;
}

QImage GreyRamp(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int v = width > 1 ? x * 255 / (width - 1) : 0;
            line[x] = qRgb(v, v, v);
        }
    }
    return img;
}

int MaxDistanceFromGrey(const QImage& image0, int level) {
    if (image0.isNull()) return -1;
    const QImage image = image0.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            for (int channel : {qRed(line[x]), qGreen(line[x]), qBlue(line[x])})
                worst = std::max(worst, std::abs(channel - level));
    }
    return worst;
}

QImage Noise(int width, int height, std::uint32_t seed) {
    std::mt19937 gen(seed);
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) line[x] = 0xFF000000u | (gen() & 0xFFFFFFu);
    }
    return img;
}

double Psnr(const QImage& a0, const QImage& b0) {
    if (a0.size() != b0.size() || a0.isNull()) return 0;
    const QImage a = a0.convertToFormat(QImage::Format_RGB32), b = b0.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const double dr = qRed(la[x]) - qRed(lb[x]), dg = qGreen(la[x]) - qGreen(lb[x]),
                         db = qBlue(la[x]) - qBlue(lb[x]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    if (sum == 0) return std::numeric_limits<double>::infinity();
    const double mse = sum / (3.0 * a.width() * a.height());
    return 10 * std::log10(255.0 * 255.0 / mse);
}

int MaxChannelDifference(const QImage& a0, const QImage& b0) {
    if (a0.size() != b0.size()) return -1;
    const QImage a = a0.convertToFormat(QImage::Format_RGB32), b = b0.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            worst =
                std::max({worst, std::abs(qRed(la[x]) - qRed(lb[x])), std::abs(qGreen(la[x]) - qGreen(lb[x])),
                          std::abs(qBlue(la[x]) - qBlue(lb[x]))});
        }
    }
    return worst;
}

QImage FromDib(const cDIBSection& dib) {
    QImage img(dib.Width(), dib.Height(), QImage::Format_RGB32);
    const std::uint8_t* bits = dib.DIBSectionBitsPtr();
    if (!bits) return {};
    const int stride = dib.BytesPerScanLine();
    for (int r = 0; r < dib.Height(); ++r) {
        const std::uint8_t* p = bits + std::ptrdiff_t(dib.Height() - 1 - r) * stride;
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(r));
        for (int c = 0; c < dib.Width(); ++c) line[c] = qRgb(p[3 * c + 2], p[3 * c + 1], p[3 * c]);
    }
    return img;
}

std::vector<std::uint8_t> DibBytes(const cDIBSection& dib) {
    const std::uint8_t* bits = dib.DIBSectionBitsPtr();
    if (!bits) return {};
    return {bits, bits + std::ptrdiff_t(dib.BytesPerScanLine()) * dib.Height()};
}

void SetDibPixel(cDIBSection& dib, int column, int memoryRow, std::uint8_t blue, std::uint8_t green,
                 std::uint8_t red) {
    std::uint8_t* p =
        dib.DIBSectionBitsPtr() + std::ptrdiff_t(memoryRow) * dib.BytesPerScanLine() + 3 * column;
    p[0] = blue, p[1] = green, p[2] = red;
}

QImage DecodeJpeg(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QByteArray data = f.readAll();
    tjhandle h = tjInitDecompress();
    int w = 0, hgt = 0, sub = 0, cs = 0;
    QImage img;
    if (tjDecompressHeader3(h, reinterpret_cast<unsigned char*>(data.data()), data.size(), &w, &hgt, &sub,
                            &cs) == 0) {
        img = QImage(w, hgt, QImage::Format_RGB32);
        if (tjDecompress2(h, reinterpret_cast<unsigned char*>(data.data()), data.size(), img.bits(), w,
                          img.bytesPerLine(), hgt, TJPF_BGRX, 0) != 0)
            img = QImage();
    }
    tjDestroy(h);
    return img;
}

int JpegSubsampling(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    QByteArray data = f.readAll();
    tjhandle h = tjInitDecompress();
    int w = 0, hgt = 0, sub = -1, cs = 0;
    if (tjDecompressHeader3(h, reinterpret_cast<unsigned char*>(data.data()), data.size(), &w, &hgt, &sub,
                            &cs) != 0)
        sub = -1;
    tjDestroy(h);
    return sub;
}

QString Save(const QImage& image, const QString& path) {
    image.save(path);
    return path;
}

QString WriteFolder(const QString& folder, const std::vector<std::pair<QString, QSize>>& pictures) {
    QDir().mkpath(folder);
    for (const auto& [name, size] : pictures) {
        const QString format = QFileInfo(name).suffix().toLower();
        Gradient(size.width(), size.height()).save(folder + u'/' + name, format.toLatin1().constData());
    }
    return folder;
}

QString WriteBytes(const QByteArray& bytes, const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
    return path;
}

QByteArray Encode(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality)) return {};
    return bytes;
}

QByteArray TruncatedJpeg(int width, int height) {
    const QByteArray bytes = Encode(Gradient(width, height), "JPEG", 90);
    // Everything up to the start-of-scan marker, which the picture data would follow.
    const qsizetype scan = bytes.indexOf(QByteArray("\xFF\xDA", 2));
    return bytes.left(scan > 0 ? scan : bytes.size() / 2);
}

}  // namespace testpics
