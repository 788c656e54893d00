#include "core/encode_picture.h"

#include "core/formats.h"
#include "core/jpeg_encoder.h"

#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>
#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <utility>

namespace core {

namespace {

// PNG's zlib level: 3 of 9 makes a 1920-pixel photo 6-9 % larger than the default 6 in a third to a
// quarter of the time (0.31 s against 0.99 s), and PNG results of photos are large anyway.
constexpr int kPngQtQuality = 66;  // Qt's writer turns its 0..100 quality into level (100 - q) * 9 / 91
// libwebp's speed/size trade-off, 0 (fast) .. 6 (small): 4 is its own default and libvips' too.
constexpr int kWebpMethod = 4;
constexpr int kWebpLosslessLevel = 6;  // 0..9; the level libwebp recommends

// The TIFF block of an APP1 payload, which PNG and WebP carry without the "Exif\0\0" in front.
QByteArrayView TiffOf(QByteArrayView exif) {
    return exif.startsWith(QByteArrayView("Exif\0\0", 6)) ? exif.sliced(6) : exif;
}

QImage OnWhite(const QImage& image) {
    if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull()) return flat;
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    return flat;
}

// An eXIf chunk goes after the header: readers look for it before the pixels.
QByteArray WithExifChunk(QByteArray png, QByteArrayView tiff) {
    constexpr qsizetype kAfterHeader = 8 + 4 + 4 + 13 + 4;  // signature, IHDR's length, type, data, CRC
    QByteArray chunk;
    const quint32 length = quint32(tiff.size());
    for (int shift : {24, 16, 8, 0}) chunk += char(length >> shift);
    chunk += "eXIf";
    chunk += tiff;
    const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(chunk.constData() + 4),
                            uInt(chunk.size() - 4));
    for (int shift : {24, 16, 8, 0}) chunk += char(crc >> shift);
    return png.insert(kAfterHeader, chunk);
}

}  // namespace

Result<QByteArray> EncodePngPicture(const QImage& image, const EncodeChoice&, QByteArrayView exif) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(kPngQtQuality);
    if (!writer.write(image)) {
        // The buffer in memory is the only device here: it fails only when it cannot grow.
        if (writer.error() == QImageWriter::DeviceError)
            return Error{Cause::OutOfMemory, QStringLiteral("out of memory")};
        return Error{Cause::EncoderFailed,
                     QStringLiteral("the PNG could not be made: %1").arg(writer.errorString())};
    }
    return exif.isEmpty() ? bytes : WithExifChunk(std::move(bytes), TiffOf(exif));
}

Result<QByteArray> EncodeJpegPicture(const QImage& image, const EncodeChoice& choice, QByteArrayView exif) {
    const QImage rgb32 = OnWhite(image);
    if (rgb32.isNull()) return Error{Cause::OutOfMemory, QStringLiteral("out of memory")};
    return EncodeJpeg(PixelRows::Of(rgb32), choice.quality, ChromaSampling::ByQuality, exif);
}

Result<QByteArray> EncodeWebpPicture(const QImage& image, const EncodeChoice& choice, QByteArrayView exif) {
    const bool alpha = image.hasAlphaChannel();
    const QImage bgra = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const Error noMemory{Cause::OutOfMemory, QStringLiteral("out of memory")};
    if (bgra.isNull()) return noMemory;

    WebPConfig config;
    if (!WebPConfigPreset(&config, WEBP_PRESET_DEFAULT, float(std::clamp(choice.quality, 1, 100))))
        return noMemory;
    config.method = kWebpMethod;
    if (choice.lossless && !WebPConfigLosslessPreset(&config, kWebpLosslessLevel)) return noMemory;
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) return noMemory;
    // Lossy pictures go straight from BGR to YUV, without an ARGB copy in between.
    picture.use_argb = choice.lossless;
    picture.width = bgra.width();
    picture.height = bgra.height();
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const int stride = int(bgra.bytesPerLine());
    const bool encoded = (alpha ? WebPPictureImportBGRA(&picture, bgra.constBits(), stride)
                                : WebPPictureImportBGRX(&picture, bgra.constBits(), stride)) &&
                         WebPEncode(&config, &picture);
    const int why = picture.error_code;
    WebPPictureFree(&picture);
    QByteArray bytes(reinterpret_cast<const char*>(writer.mem), qsizetype(writer.size));
    WebPMemoryWriterClear(&writer);
    if (!encoded)
        return why == VP8_ENC_ERROR_OUT_OF_MEMORY || why == VP8_ENC_OK
                   ? noMemory
                   : Error{Cause::EncoderFailed,
                           QStringLiteral("the WebP could not be made (libwebp error %1)").arg(why)};
    if (exif.isEmpty()) return bytes;

    const QByteArrayView tiff = TiffOf(exif);
    const WebPData image_data{reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
    const WebPData exif_data{reinterpret_cast<const uint8_t*>(tiff.data()), size_t(tiff.size())};
    WebPMux* mux = WebPMuxNew();
    WebPData assembled{};
    const bool muxed = mux && WebPMuxSetImage(mux, &image_data, 0) == WEBP_MUX_OK &&
                       WebPMuxSetChunk(mux, "EXIF", &exif_data, 0) == WEBP_MUX_OK &&
                       WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK;
    WebPMuxDelete(mux);
    QByteArray withExif =
        muxed ? QByteArray(reinterpret_cast<const char*>(assembled.bytes), qsizetype(assembled.size))
              : QByteArray();
    WebPDataClear(&assembled);
    if (!muxed) return noMemory;
    return withExif;
}

Result<QByteArray> EncodePicture(const QImage& image, const EncodeChoice& choice, QByteArrayView exif) {
    if (image.isNull()) return Error{Cause::InvalidSize, QStringLiteral("there is no picture to encode")};
    const Format& format = FormatOf(choice.format);
    if (image.width() > format.mostPixelsASide || image.height() > format.mostPixelsASide)
        return Error{Cause::TooLargeForFormat,
                     QStringLiteral("a %1 x %2 picture is too large for %3 (at most %4 pixels a side)")
                         .arg(image.width())
                         .arg(image.height())
                         .arg(QLatin1String(format.name))
                         .arg(format.mostPixelsASide)};
    return format.encode(image, choice, exif);
}

Result<QByteArray> EncodePicture(QImage&& image, const EncodeChoice& choice, QByteArrayView exif) {
    QImage mine = std::move(image);
    if (choice.format != OutputFormat::Jpeg || mine.format() != QImage::Format_RGB32 || !mine.isDetached())
        return EncodePicture(std::as_const(mine), choice, exif);
    PixelRows rows = PixelRows::Of(mine);
    rows.consumed = true;
    return EncodeJpeg(rows, choice.quality, ChromaSampling::ByQuality, exif);
}

}  // namespace core
