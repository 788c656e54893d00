#pragma once
// JPEG encoding with libjpeg-turbo, straight from the caller's rows: no copy of the pixels.

#include "core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace core {

// 8-bit pixels in memory, one row after another in either direction.
struct PixelRows {
    enum class Layout { Bgr, Rgb, Bgrx };  // Bgrx: QImage's Format_RGB32 on a little-endian machine

    const std::uint8_t* top = nullptr;  // the first byte of the picture's top row
    std::ptrdiff_t stride = 0;          // bytes from one row to the one below it; negative for bottom-up memory
    int width = 0;
    int height = 0;
    Layout layout = Layout::Bgrx;
    // The caller is done with the rows: the encoder gives their memory back to the system as it reads them,
    // which holds a large picture and its coefficients only about once together. Top-down rows only.
    bool consumed = false;

    // The rows of a Format_RGB32 image, which must outlive the rows.
    static PixelRows Of(const QImage& rgb32);
};

enum class ChromaSampling {
    ByQuality,  // 4:4:4 at quality 90 and above, where halved colour would show; 4:2:0 below
    Full,       // 4:4:4
    HalfAcross, // 4:2:2
    HalfBoth,   // 4:2:0
};

// The most payload an APP1 segment holds: its length field counts itself too.
inline constexpr qsizetype kMaxApp1Payload = 65533;

// A baseline JPEG with optimised Huffman tables at quality 1..100 (values outside are clamped, as libjpeg
// does). exif, when given, is an APP1 segment's payload ("Exif\0\0" and a TIFF block) written after the
// JFIF header. Errors: invalid size for a side of 0, too large for the format above the side a JPEG holds,
// out of memory.
Result<QByteArray> EncodeJpeg(const PixelRows& rows, int quality,
                              ChromaSampling sampling = ChromaSampling::ByQuality, QByteArrayView exif = {});

// The same JPEG written from rows that come a band at a time, top to bottom, as a shrink finishes them: the
// result is then never held whole. Failures (EncodeJpeg's) are told by the first call after them.
class JpegWriter {
public:
    JpegWriter(int width, int height, PixelRows::Layout layout, int quality,
               ChromaSampling sampling = ChromaSampling::ByQuality, QByteArrayView exif = {});
    ~JpegWriter();
    JpegWriter(const JpegWriter&) = delete;
    JpegWriter& operator=(const JpegWriter&) = delete;

    // The next rows.height rows of the picture; any beyond its height are left out.
    Result<void> Write(const PixelRows& rows);
    // The file, once every row is written.
    Result<QByteArray> Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A seam for tests: once the output has grown this many times, growing it again fails as when memory
// runs out. Negative: never.
inline std::atomic<int> jpegOutputGrowthsBeforeFailure{-1};

}  // namespace core
