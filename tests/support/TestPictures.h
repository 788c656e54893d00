#pragma once
// Pictures made for tests, and ways to compare them.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

class cDIBSection;

namespace testpics {

// A smooth colour gradient (red across, green down, blue diagonal), RGB32.
QImage Gradient(int width, int height);
// Vertical black and white stripes one pixel wide, black first, RGB32.
QImage Stripes(int width, int height);
// A grey ramp from black at the left to white at the right, RGB32.
QImage GreyRamp(int width, int height);
// Largest distance of any channel of any pixel from the grey level; -1 for a null image.
int MaxDistanceFromGrey(const QImage& image, int level);
// Random but reproducible pixels, RGB32.
QImage Noise(int width, int height, std::uint32_t seed = 1);
// Peak signal-to-noise ratio of b against a over all three channels; infinity when equal.
double Psnr(const QImage& a, const QImage& b);
// Largest difference of any channel of any pixel; -1 when the sizes differ.
int MaxChannelDifference(const QImage& a, const QImage& b);
// The buffer's pixels as a top-down RGB32 image (read straight from its bottom-up memory).
QImage FromDib(const cDIBSection& dib);
// All of the buffer's pixel memory, padding included, bottom row first; empty when it holds none.
std::vector<std::uint8_t> DibBytes(const cDIBSection& dib);
// Writes one pixel by memory row (0 = bottom row) and column, in blue-green-red order.
void SetDibPixel(cDIBSection& dib, int column, int memoryRow, std::uint8_t blue, std::uint8_t green,
                 std::uint8_t red);
// Decodes a JPEG file with libjpeg-turbo into RGB32; null on failure.
QImage DecodeJpeg(const QString& path);
// The chroma subsampling of a JPEG file as TurboJPEG names it (TJSAMP_444, TJSAMP_420, ...); -1 on failure.
int JpegSubsampling(const QString& path);
// Writes a picture file with Qt (format from the suffix); returns the path.
QString Save(const QImage& image, const QString& path);
// Writes a folder of pictures, each a gradient of the given width and height saved under its name
// (format from the suffix, "JPG" as well); returns the folder.
QString WriteFolder(const QString& folder, const std::vector<std::pair<QString, QSize>>& pictures);
// The picture encoded by Qt in format ("PNG", "BMP", "JPG", ...), at quality (-1: the format's default).
QByteArray Encode(const QImage& image, const char* format, int quality = -1);
// Writes the bytes as they are into a file; returns the path.
QString WriteBytes(const QByteArray& bytes, const QString& path);
// A JPEG file of a gradient cut off after its headers, before any picture data.
QByteArray TruncatedJpeg(int width, int height);

}  // namespace testpics
