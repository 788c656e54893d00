// Every format but plain JPEG, HEIF and WebP through Qt's image reader: BMP, GIF (first frame), PNG,
// CMYK JPEG and TIFF (first page, through the reader's plugin; 16-bit ones at 64 bits).

#include "core/exif_metadata.h"
#include "core/icc_profile.h"
#include "core/picture_decoder.h"
#include "core/png_chunks.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <algorithm>
#include <cmath>

namespace core {

namespace {

struct Reader {
    QByteArray bytes;
    QBuffer buffer{&bytes};
    QImageReader reader;

    explicit Reader(const QByteArray& data) : bytes(data) {
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setDecideFormatFromContent(true);
        reader.setAutoTransform(true);
    }
};

// What the plugins that scale while decoding are asked for at most.
constexpr int kMostQtReduction = 8;

// The area the reader decodes into: a GIF's canvas may be larger than the size its reader tells.
std::int64_t DecodedPixels(QSize decoded, const QByteArray& bytes) {
    const QSize area = decoded.expandedTo(GifCanvas(bytes));
    return std::int64_t(area.width()) * area.height();
}

class QtImageDecoder final : public PictureDecoder {
public:
    QtImageDecoder(QByteArray bytes, QSize size, Reduction reduction, QByteArray exif, int frames)
        : bytes_(std::move(bytes)), size_(size), reduction_(reduction), exif_(std::move(exif)), frames_(frames) {}

    QSize size() const override { return size_; }
    QByteArray exif() const override { return exif_; }
    int frames() const override { return frames_; }

    Result<QImage> Decode(QSize target) const override {
        Reader r(bytes_);
        const QSize expected = ReducedDecodeSize(size_, target, reduction_).size;
        if (const Result<void> fits = FitsDecodeBudget(DecodedPixels(expected, bytes_), DecodedFormat(r.reader, bytes_));
            !fits)
            return fits.error();
        if (expected != size_) {
            QSize scaled = expected;
            if (r.reader.transformation() & QImageIOHandler::TransformationRotate90) scaled.transpose();
            r.reader.setScaledSize(scaled);
        }
        QImage image = r.reader.read();
        if (image.isNull()) return NotAPicture();
        // A header that promised another size than the data gives (a GIF's frame outside its screen, say)
        // marks a damaged file; the picture's size must hold for every decode.
        if (image.size() != expected) return NotAPicture();
        const QColorSpace space = image.colorSpace();
        Result<QImage> wide = To32Bit(image);
        if (!wide) return wide;
        // Let go of the reader's image, so that the colour conversion works in place instead of copying.
        image = QImage();
        return ToSrgb(std::move(*wide), space);
    }

private:
    QByteArray bytes_;
    QSize size_;
    Reduction reduction_;
    QByteArray exif_;
    int frames_;
};

// The Exif of a PNG's eXIf chunk. A TIFF file is a TIFF block itself, its first directory holding the
// camera and date as an Exif block's does: only what may be kept of it is held, not the whole file.
QByteArray ExifOf(const QByteArray& format, const QByteArray& bytes) {
    if (format == "png") return PngExif(bytes);
    if (format != "tiff") return {};
    const Result<QByteArray> kept = KeptExif(bytes);
    if (!kept) return bytes.left(4);  // unreadable again when it is to be kept, so that a line says so
    return kept->isEmpty() ? QByteArray() : kept->sliced(6);
}

// Only the first frame of an animation is shrunk; the user hears that the rest were left.
int Frames(QImageReader& reader) { return reader.format() == "gif" ? std::max(reader.imageCount(), 1) : 1; }

}  // namespace

QImage::Format DecodedFormat(const QImageReader& reader, const QByteArray& bytes) {
    const QImage::Format format = reader.imageFormat();
    // Qt's GIF reader does not tell it, and always gives 32 bits.
    return format == QImage::Format_Invalid && bytes.startsWith("GIF8") ? QImage::Format_ARGB32 : format;
}

QSize ReaderSize(QImageReader& reader) {
    const QSize size = reader.size();
    return {size.width(), std::abs(size.height())};
}

Result<std::unique_ptr<PictureDecoder>> OpenQtImageDecoder(QByteArray bytes) {
    Reader r(bytes);
    if (!r.reader.canRead() || !ReadByQt(r.reader.format())) return NotAPicture();
    QSize size = ReaderSize(r.reader);
    // Every format this program lists tells its size in its header; one that does not would have to be
    // decoded whole to learn it.
    if (!size.isValid() || size.isEmpty()) return NotAPicture();
    if (std::int64_t(size.width()) * size.height() > kMaxPicturePixels) return TooLarge();
    if (r.reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
    const Reduction reduction{false,
                              r.reader.supportsOption(QImageIOHandler::ScaledSize) ? kMostQtReduction : 1};
    // The smallest decode this file allows must already fit.
    const QSize smallest = ReducedDecodeSize(size, QSize(1, 1), reduction).size;
    if (const Result<void> fits = FitsDecodeBudget(DecodedPixels(smallest, bytes), DecodedFormat(r.reader, bytes)); !fits)
        return fits.error();
    const QByteArray format = r.reader.format();
    const int frames = Frames(r.reader);
    QByteArray exif = ExifOf(format, bytes);
    return std::unique_ptr<PictureDecoder>(
        std::make_unique<QtImageDecoder>(std::move(bytes), size, reduction, std::move(exif), frames));
}

}  // namespace core
