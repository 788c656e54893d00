// PixelDataCanFit: whether a file is large enough for the pixels its header claims. Readers fill in
// what a file lacks, so a few bytes claiming a hundred million pixels would otherwise cost seconds and
// hundreds of megabytes for a picture that is not there.

#include "core/jpeg_segments.h"
#include "core/picture_decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace core {

namespace {

// Deflate's densest coding: a 258-byte match in two bits.
constexpr std::int64_t kDeflateMostRatio = 1032;
// LZW's densest coding: a code of at least two bits for a string of at most 4096 pixels.
constexpr std::int64_t kLzwPixelsPerByte = 4 * 4096;
// Huffman-coded JPEG spends at least one bit on every 8 x 8 block of its full-resolution component.
constexpr std::int64_t kJpegBlocksPerByte = 8;
// Run-length BMP codes at most 255 pixels in two bytes; twice that leaves room for skips and an early end.
constexpr std::int64_t kRlePixelsPerByte = 255;

std::uint32_t Little(const QByteArray& b, int at, int width) {
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | std::uint8_t(b[at + i]);
    return v;
}

std::uint32_t Big(const QByteArray& b, int at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | std::uint8_t(b[at + i]);
    return v;
}

bool BmpCanFit(const QByteArray& b) {
    const std::int64_t size = b.size();
    if (size < 26) return true;
    const std::int64_t offset = Little(b, 10, 4);
    const std::int64_t headerSize = Little(b, 14, 4);
    std::int64_t width = 0, rows = 0, bpp = 0, compression = 0;
    if (headerSize == 40 || headerSize == 64 || headerSize == 108 || headerSize == 124) {
        if (size < 34) return true;
        width = std::int32_t(Little(b, 18, 4));
        rows = std::int32_t(Little(b, 22, 4));
        bpp = Little(b, 28, 2);
        compression = Little(b, 30, 4);
    } else {
        // The reader takes any other header size for the old OS/2 header: 16-bit signed sizes, never
        // compressed. A bogus size there must be read the same way, or it hides the claim.
        width = std::int16_t(Little(b, 18, 2));
        rows = std::int16_t(Little(b, 20, 2));
        bpp = Little(b, 24, 2);
    }
    rows = std::abs(rows);  // negative: stored top-down
    if (width <= 0 || rows == 0 || bpp == 0) return true;
    // The pixels start at the header's offset; a bogus offset counts from the end of the header instead.
    const std::int64_t headersEnd = 14 + headerSize;
    const std::int64_t start = offset >= headersEnd && offset <= size ? offset : std::min(headersEnd, size);
    const std::int64_t available = size - start;
    switch (compression) {
        case 0:    // plain
        case 3:    // plain with colour masks
        case 6: {  // plain with colour and alpha masks
            const std::int64_t stride = (width * bpp + 31) / 32 * 4;
            // One row's grace for writers that leave out the last row's padding or cut it short.
            // Divided rather than multiplied: a lying header's product would not fit in 64 bits.
            return rows <= (available + stride) / stride;
        }
        case 1:  // run-length, 8 bits
        case 2:  // run-length, 4 bits
            return width * rows <= kRlePixelsPerByte * std::max<std::int64_t>(available, 2);
        default:
            return true;
    }
}

bool PngCanFit(const QByteArray& b) {
    if (b.size() < 29 || b.mid(12, 4) != "IHDR") return true;
    const std::int64_t width = Big(b, 16), height = Big(b, 20);
    const int depth = std::uint8_t(b[24]);
    int channels = 0;
    switch (std::uint8_t(b[25])) {
        case 0:  // grey
        case 3:  // palette
            channels = 1;
            break;
        case 2:  // RGB
            channels = 3;
            break;
        case 4:  // grey and alpha
            channels = 2;
            break;
        case 6:  // RGBA
            channels = 4;
            break;
        default:
            return true;
    }
    // The pixels alone, without the filter bytes: less than the data in either row order. In floating
    // point, since the header's sizes may be anything up to 2^32.
    const double raw = double(width) * double(height) * depth * channels / 8;
    return raw <= double(kDeflateMostRatio) * double(b.size());
}

std::int64_t Little16(const QByteArray& b, qsizetype at) { return Little(b, int(at), 2); }

// The reader paints the first frame onto its canvas and fills the rest; every frame's data together must
// be able to cover that area.
bool GifCanFit(const QByteArray& b) {
    const QSize canvas = GifCanvas(b);
    return std::int64_t(canvas.width()) * canvas.height() <= kLzwPixelsPerByte * b.size();
}

// Arithmetic coding can spend less than a bit on a block, so only Huffman-coded frames are bounded.
bool JpegCanFit(const QByteArray& b) {
    const JpegLayout frame = ReadJpegLayout(b, false);
    if (frame.frameMarker < 0xC0 || frame.frameMarker > 0xC2) return true;  // baseline, extended, progressive
    const std::int64_t blocks = ((std::int64_t(frame.width) + 7) / 8) * ((std::int64_t(frame.height) + 7) / 8);
    return blocks <= kJpegBlocksPerByte * b.size();
}

}  // namespace

QSize GifCanvas(const QByteArray& b) {
    if (!b.startsWith("GIF8") || b.size() < 13) return {};
    std::int64_t width = Little16(b, 6), height = Little16(b, 8);
    const std::uint8_t flags = std::uint8_t(b[10]);
    qsizetype at = 13 + ((flags & 0x80) ? 3 * (qsizetype(2) << (flags & 7)) : 0);
    while (at < b.size()) {
        const std::uint8_t kind = std::uint8_t(b[at]);
        if (kind == 0x2C) {  // the first frame
            if (at + 9 > b.size()) break;
            width = std::max(width, Little16(b, at + 1) + Little16(b, at + 5));
            height = std::max(height, Little16(b, at + 3) + Little16(b, at + 7));
            break;
        }
        if (kind != 0x21 || at + 2 >= b.size()) break;  // anything but an extension ends the search
        at += 2;
        while (at < b.size() && b[at] != 0) at += 1 + std::uint8_t(b[at]);
        ++at;
    }
    return {int(width), int(height)};
}

bool PixelDataCanFit(const QByteArray& bytes) {
    if (bytes.startsWith("BM")) return BmpCanFit(bytes);
    if (bytes.startsWith("\x89PNG\r\n\x1a\n")) return PngCanFit(bytes);
    if (bytes.startsWith("GIF8")) return GifCanFit(bytes);
    if (bytes.startsWith("\xFF\xD8")) return JpegCanFit(bytes);
    return true;
}

}  // namespace core
