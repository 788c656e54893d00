// PNG: whole decodes through Qt's reader, as for the other formats it reads; a shrink reads the rows
// through libpng as they are inflated, so that a large PNG is never held whole. Interlaced PNGs (their rows
// come in seven passes over the picture) and PNGs Qt's reader turns are decoded whole, as before.

#include "core/picture_decoder.h"
#include "core/png_chunks.h"
#include "core/row_pipeline.h"

#include <png.h>
#include <zlib.h>
#include <QBuffer>
#include <QImageReader>
#include <csetjmp>
#include <cstring>

namespace core {

namespace {

std::uint32_t Big32(QByteArrayView bytes, qsizetype at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | std::uint8_t(bytes[at + i]);
    return value;
}

void AppendChunk(QByteArray& png, QByteArrayView kind, QByteArrayView data) {
    for (const int shift : {24, 16, 8, 0}) png += char(std::uint32_t(data.size()) >> shift);
    const qsizetype start = png.size();
    png += kind;
    png += data;
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef*>(png.constData() + start), uInt(png.size() - start));
    for (const int shift : {24, 16, 8, 0}) png += char(crc >> shift);
}

// A one-pixel PNG of the same kind (depth, colour type, palette, transparency, gamma and profile): what Qt's
// reader makes of it is what it makes of the whole file's colours, its format and colour space, which the
// rows then follow without decoding the whole file.
QImage ProbeOf(QByteArrayView png) {
    QByteArray probe = png.first(8).toByteArray();
    QByteArray header = png.sliced(16, 13).toByteArray();
    const QByteArrayView one("\0\0\0\1", 4);
    header.replace(0, 4, one).replace(4, 4, one);
    header[12] = 0;  // not interlaced
    AppendChunk(probe, "IHDR", header);
    for (qsizetype at = 8 + 25; at + 12 <= png.size();) {
        const std::uint32_t length = Big32(png, at);
        if (length > std::uint32_t(png.size() - at - 12)) break;
        const QByteArrayView kind = png.sliced(at + 4, 4);
        if (kind == "IDAT" || kind == "IEND") break;
        if (kind == "PLTE" || kind == "tRNS" || kind == "gAMA" || kind == "cHRM" || kind == "sRGB" ||
            kind == "iCCP")
            AppendChunk(probe, kind, png.sliced(at + 8, length));
        at += 12 + qsizetype(length);
    }
    const int depth = std::uint8_t(header[8]), colourType = std::uint8_t(header[9]);
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const QByteArray row(1 + (channels * depth + 7) / 8, '\0');  // filter byte, then one pixel of zeros
    uLongf packedSize = compressBound(uLong(row.size()));
    QByteArray packed(qsizetype(packedSize), '\0');
    if (compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                 reinterpret_cast<const Bytef*>(row.constData()), uLong(row.size())) != Z_OK)
        return {};
    AppendChunk(probe, "IDAT", QByteArrayView(packed).first(qsizetype(packedSize)));
    AppendChunk(probe, "IEND", {});
    QBuffer buffer(&probe);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, "png").read();
}

// One read of the rows through libpng, its failures carried out by a long jump back to Guarded.
class PngRows final : public RowSource {
public:
    PngRows(const QByteArray& bytes, QSize size, QImage::Format format, QColorSpace space)
        : bytes_(bytes), size_(size), format_(format), space_(std::move(space)) {}
    ~PngRows() override {
        if (png_) png_destroy_read_struct(&png_, &info_, nullptr);
    }
    PngRows(const PngRows&) = delete;
    PngRows& operator=(const PngRows&) = delete;

    // Reads the header and sets the rows up as 32-bit BGRA (BGRX without transparency), 8 bits a channel.
    Result<void> Start() {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, &PngRows::Fail, &PngRows::Warn);
        if (!png_) return NoMemory();
        info_ = png_create_info_struct(png_);
        if (!info_) return NoMemory();
        png_set_read_fn(png_, this, &PngRows::ReadBytes);
        const bool alpha = format_ == QImage::Format_ARGB32;
        png_size_t rowBytes = 0;
        if (!Guarded([&] {
                png_read_info(png_, info_);
                png_set_expand(png_);
                png_set_scale_16(png_);
                png_set_gray_to_rgb(png_);
                png_set_bgr(png_);
                if (!alpha) png_set_filler(png_, 0xFF, PNG_FILLER_AFTER);
                png_read_update_info(png_, info_);
                rowBytes = png_get_rowbytes(png_, info_);
            }))
            return NotAPicture();
        if (png_get_image_width(png_, info_) != png_uint_32(size_.width()) ||
            png_get_image_height(png_, info_) != png_uint_32(size_.height()) ||
            rowBytes != png_size_t(size_.width()) * 4)
            return NotAPicture();
        return {};
    }

    QSize size() const override { return size_; }
    QImage::Format format() const override { return format_; }
    QColorSpace colorSpace() const override { return space_; }

    Result<int> Read(std::uint8_t* const* rows, int most) override {
        if (!Guarded([&] {
                for (int i = 0; i < most; ++i) png_read_row(png_, rows[i], nullptr);
            }))
            return NotAPicture();
        return most;
    }

    Result<void> Finish() override {
        if (!Guarded([&] { png_read_end(png_, nullptr); })) return NotAPicture();
        return {};
    }

private:
    // Only libpng calls and plain values belong in call: a failure jumps over its frames.
    template <typename Call>
    bool Guarded(Call&& call) {
        if (setjmp(jump_) != 0) return false;
        call();
        return true;
    }

    [[noreturn]] static void Fail(png_structp png, png_const_charp) {
        std::longjmp(static_cast<PngRows*>(png_get_error_ptr(png))->jump_, 1);
    }
    static void Warn(png_structp, png_const_charp) {}
    static void ReadBytes(png_structp png, png_bytep out, png_size_t count) {
        auto* self = static_cast<PngRows*>(png_get_io_ptr(png));
        if (count > png_size_t(self->bytes_.size() - self->at_)) png_error(png, "cut short");
        std::memcpy(out, self->bytes_.constData() + self->at_, count);
        self->at_ += qsizetype(count);
    }

    const QByteArray& bytes_;
    qsizetype at_ = 0;
    QSize size_;
    QImage::Format format_;
    QColorSpace space_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    std::jmp_buf jump_{};
};

class PngDecoder final : public PictureDecoder {
public:
    PngDecoder(std::unique_ptr<PictureDecoder> whole, QByteArray bytes, QImage::Format format,
               QColorSpace space)
        : whole_(std::move(whole)), bytes_(std::move(bytes)), format_(format), space_(std::move(space)) {}

    QSize size() const override { return whole_->size(); }
    Result<QImage> Decode(QSize target) const override { return whole_->Decode(target); }
    QByteArray exif() const override { return whole_->exif(); }

    Result<QImage> Shrink(QSize size, QThreadPool* pool) const override {
        // The picture at its own size needs no filter: the whole decode gives it.
        if (size == this->size()) return QImage();
        PngRows rows(bytes_, this->size(), format_, space_);
        if (const Result<void> started = rows.Start(); !started) return started.error();
        return ShrinkRows(rows, size, pool);
    }

    Result<bool> ShrinkInto(QSize size, QThreadPool* pool, const RowSink& sink) const override {
        // A sink takes opaque rows: transparency is laid on a background by the whole shrink.
        if (size == this->size() || format_ == QImage::Format_ARGB32) return false;
        PngRows rows(bytes_, this->size(), format_, space_);
        if (const Result<void> started = rows.Start(); !started) return started.error();
        if (const Result<void> done = ShrinkRowsInto(rows, size, pool, sink); !done) return done.error();
        return true;
    }

private:
    std::unique_ptr<PictureDecoder> whole_;
    QByteArray bytes_;
    QImage::Format format_;
    QColorSpace space_;
};

}  // namespace

Result<std::unique_ptr<PictureDecoder>> OpenPngDecoder(QByteArray bytes) {
    Result<std::unique_ptr<PictureDecoder>> whole = OpenQtImageDecoder(bytes);
    if (!whole || ReadPngHeader(bytes).interlaced) return whole;
    {
        // A picture Qt's reader turns (by an eXIf orientation) comes whole.
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "png");
        reader.setAutoTransform(true);
        if (reader.transformation() != QImageIOHandler::TransformationNone) return whole;
    }
    const QImage probe = ProbeOf(bytes);
    if (probe.isNull()) return whole;
    const QImage::Format format = probe.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    return std::unique_ptr<PictureDecoder>(
        std::make_unique<PngDecoder>(std::move(*whole), std::move(bytes), format, probe.colorSpace()));
}

}  // namespace core
