#pragma once
// Decoders of picture files held in memory: the size from the header at once, pixels at a reduced
// scale on demand. Everything they return is upright (EXIF orientation applied) and in sRGB.

#include "core/result.h"
#include "core/row_sink.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <cstdint>
#include <memory>

class QImageReader;
class QThreadPool;

namespace core {

// The largest picture the loader accepts: 2^28 pixels (1 GiB at 32 bits), more than 250 megapixels.
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t(1) << 28;

// Bounds what one picture's decode may hold at once: the decoded pixels at their working depth, any copy
// made to reach 32 bits, and any coefficient buffer; a decode that would need more is refused beforehand.
inline constexpr std::int64_t kDecodeMemoryBudget = std::int64_t(512) << 20;

// Refused before decoding, as costly beyond what any camera or editor writes: a progressive JPEG of more
// scans, or of more scans times pixels (each scan runs over the whole picture again: about a second for
// every 10^9; a 250-megapixel picture may have the usual 10 scans, a 24-megapixel one 100), an
// arithmetic-coded JPEG of more pixels, a 16-bit or interlaced PNG of more pixels.
inline constexpr int kMaxJpegScans = 500;
inline constexpr std::int64_t kMaxJpegScanPixels = 2'500'000'000;
inline constexpr std::int64_t kMaxArithmeticPixels = 16'000'000;
inline constexpr std::int64_t kMaxDeepPngPixels = 64'000'000;

// A reduced decode is made this many times larger than asked in each direction, so that the smoothing
// shrink that follows still has detail to average; a DCT-scaled decode alone is soft and slightly aliased.
inline constexpr int kDecodeMargin = 2;

// A picture shown smaller than a version of it is scaled by averaging, which needs no margin.
inline constexpr int kViewMargin = 1;

// The loader's checking decode covers a view of this size (the main window's preview), so that showing the
// picture there is served from it instead of decoding again; for a 24-megapixel photo it is the eighth
// scale, whose parse runs on several threads.
inline constexpr QSize kFirstView{560, 400};

// What a decode must cover for a request of atLeast pixels from a picture of size full: the request
// with the margin, never more than the picture; the full size for an empty request.
QSize DecodeTarget(QSize atLeast, QSize full, int margin = kDecodeMargin);
// True when have is at least need in both directions.
bool Covers(QSize have, QSize need);

// How far a decoder scales a picture down while decoding: by powers of two only, down to 1/mostDenominator
// (a JPEG's DCT scaling), or to any size keeping the proportions, down to 1/mostDenominator (0: no bound;
// 1: no reduction).
struct Reduction {
    bool powersOfTwo = false;
    int mostDenominator = 1;
};
// The one rule every decoder sizes a reduced decode by: the smallest size the reduction allows that covers
// target (stored orientation), never more than full, with the power of two it divides by (1 otherwise).
struct ReducedDecode {
    QSize size;
    int denominator = 1;
};
ReducedDecode ReducedDecodeSize(QSize full, QSize target, Reduction reduction);

class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;
    // The upright size in pixels.
    virtual QSize size() const = 0;
    // The smallest version this decoder makes that covers target (upright), as Format_RGB32, or
    // Format_ARGB32 when the picture has transparency; damaged, or out of memory.
    virtual Result<QImage> Decode(QSize target) const = 0;
    // The whole picture shrunk to size (upright, no larger than the picture), as Format_RGB32, filtered
    // as its rows are decoded so that it is never held whole; a null image when this decoder cannot.
    // Decoding and filtering may overlap on pool (null: Qt's global pool). Safe to call from several
    // threads at once.
    virtual Result<QImage> Shrink(QSize /*size*/, QThreadPool* /*pool*/) const { return QImage(); }
    // The same shrink, its rows handed to sink as they are finished rather than kept, so that the result is
    // never held whole either: true once every row went to sink; false, with none handed over, when this
    // decoder cannot (a picture that must be turned upright, or no shrink at all). sink's error ends the
    // shrink and is returned.
    virtual Result<bool> ShrinkInto(QSize /*size*/, QThreadPool* /*pool*/, const RowSink& /*sink*/) const {
        return false;
    }
    // The TIFF block of the file's Exif segment; empty when there is none.
    virtual QByteArray exif() const { return {}; }
    // The frames of an animation, of which only the first is decoded; 1 for a still picture.
    virtual int frames() const { return 1; }
    // The caller decodes the picture once: the file's bytes may then go as soon as that decode has read
    // them, rather than when the decoder goes. A later decode fails.
    virtual void DecodeOnce() {}
};

// What a decode of pixels pixels holds when Qt's reader gives them as format (Invalid: unknown), with
// To32Bit's copy when that is not 32-bit already: too large above kDecodeMemoryBudget.
Result<void> FitsDecodeBudget(std::int64_t pixels, QImage::Format format);
// The same for a decode that holds bytes at its peak.
Result<void> FitsDecodeBudgetBytes(std::int64_t bytes);

// The first bytes of a picture file (up to 64 KB) and the file's size, checked before the rest is read:
// damaged when they are no picture this program reads or its size cannot be told from them, too costly when
// the file is far larger than any coding of that size needs; too large when the picture is larger than
// kMaxPicturePixels or, for the formats Qt's reader decodes whole, than the decode budget.
Result<void> CheckPictureHead(const QByteArray& head, std::int64_t fileBytes);

// The first bytes of a regular file, up to maxBytes, and its size, opened as the loader opens it (never
// waiting on a pipe or a device); nothing for anything else.
struct FileHead {
    QByteArray bytes;
    std::int64_t fileBytes = 0;
};
FileHead ReadFileHead(const QByteArray& path, qsizetype maxBytes);

// Enough of a file for the frame of a JPEG after a large Exif block, and for every other format's header.
inline constexpr qsizetype kHeadSizeBytes = 256 * 1024;

// A picture's size as its file's first kHeadSizeBytes tell it, for every format this program reads:
// the stored size, not yet turned upright; for a HEIF or AVIF the largest item its boxes declare. Invalid
// when the bytes do not tell it (no picture this program reads, a header beyond them, a TIFF whose
// directory follows its pixels). Reads nothing but head and allocates nothing in proportion to the pixels.
QSize PictureHeadSize(const QByteArray& head);

// True for a TIFF whose first directory, which holds its size, lies beyond head: Qt's reader fails on
// such a head, noisily; libtiff writes the directory after the pixels.
bool TiffDirectoryBeyond(QByteArrayView head);

// Reads the header of a picture file's bytes: damaged when they are no picture this program reads or
// too short for the picture they claim, too large when the picture is larger than kMaxPicturePixels.
// Allocates nothing in proportion to the pixels.
Result<std::unique_ptr<PictureDecoder>> OpenPictureDecoder(QByteArray bytes);

// False when the file is too short for the pixels its header claims, even at the format's densest coding
// (uncompressed and run-length BMP, PNG, GIF, Huffman-coded JPEG), with room for a short last row; true for
// formats it does not know. Readers fill in missing data, so without it a few bytes could claim a hundred
// million pixels.
bool PixelDataCanFit(const QByteArray& bytes);

// Whether Qt's reader is the one to decode a file it names this format (QImageReader::format()): its
// plugins know more formats than this program reads, and each is code hostile files could reach.
bool ReadByQt(const QByteArray& format);

// The format Qt's reader gives the pixels of bytes in; Invalid when it does not tell.
QImage::Format DecodedFormat(const QImageReader& reader, const QByteArray& bytes);
// The size Qt's reader tells from a header, rows stored top-down (a BMP's negative height) counted as rows.
QSize ReaderSize(QImageReader& reader);

// The area Qt's reader paints a GIF's first frame onto: its logical screen grown to hold the frame, as far
// as the bytes tell; empty for anything else.
QSize GifCanvas(const QByteArray& bytes);

// The kinds behind OpenPictureDecoder. The JPEG decoder gives null for colour models it cannot
// convert (CMYK, YCCK), which Qt's reader then takes; Qt's reader takes BMP, GIF, PNG and TIFF (first
// page), and no other format its plugins know.
Result<std::unique_ptr<PictureDecoder>> OpenJpegDecoder(QByteArray bytes);
Result<std::unique_ptr<PictureDecoder>> OpenQtImageDecoder(QByteArray bytes);
// A PNG: Qt's reader for whole decodes, libpng's rows for a shrink (but for interlaced or turned PNGs).
Result<std::unique_ptr<PictureDecoder>> OpenPngDecoder(QByteArray bytes);
Result<std::unique_ptr<PictureDecoder>> OpenHeifDecoder(QByteArray bytes);
Result<std::unique_ptr<PictureDecoder>> OpenWebpDecoder(QByteArray bytes);

// Formats known by their first bytes. HEIF or AVIF: an ftyp box naming a still-picture brand. WebP: a
// RIFF container of kind WEBP.
bool IsJpeg(QByteArrayView head);
bool IsPng(QByteArrayView head);
bool IsHeif(QByteArrayView head);
bool IsWebp(QByteArrayView head);
// The payload of the first chunk of this kind in a WebP's RIFF container; empty when there is none.
QByteArrayView WebpChunk(QByteArrayView riff, const char* kind);
// Each format's size from its file's first bytes (PictureHeadSize): invalid when they do not tell it. Qt's
// reader's for the formats it is trusted with.
QSize JpegHeadSize(const QByteArray& head);
QSize PngHeadSize(const QByteArray& head);
QSize HeifHeadSize(const QByteArray& head);
QSize WebpHeadSize(const QByteArray& head);
QSize QtHeadSize(const QByteArray& head);
// A WebP's size from its first chunk's header.
Result<QSize> WebpSize(QByteArrayView head);

// Both decoders' final step: a 32-bit layout, alpha kept only where there is some.
Result<QImage> To32Bit(const QImage& image);

// The refusals every decoder shares.
Error NotAPicture();
Error TooLarge();
Error NoMemory();

}  // namespace core
