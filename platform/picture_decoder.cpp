#include "platform/picture_decoder.h"

#include "platform/png_chunks.h"
#include "platform/runtime.h"

namespace platform {

QSize DecodeTarget(QSize atLeast, QSize full) {
    if (!atLeast.isValid() || atLeast.isEmpty()) return full;
    const auto widen = [](int asked, int limit) {
        return int(std::min<std::int64_t>(std::int64_t(asked) * kDecodeMargin, limit));
    };
    return {widen(atLeast.width(), full.width()), widen(atLeast.height(), full.height())};
}

bool Covers(QSize have, QSize need) { return have.width() >= need.width() && have.height() >= need.height(); }

std::unique_ptr<PictureDecoder> OpenPictureDecoder(QByteArray bytes) {
    if (bytes.isEmpty()) Raise(err::InvalidPicture);
    bytes = WithoutOverlongPngChunk(std::move(bytes));
    const bool jpeg = bytes.size() >= 3 && std::uint8_t(bytes[0]) == 0xFF && std::uint8_t(bytes[1]) == 0xD8 &&
                      std::uint8_t(bytes[2]) == 0xFF;
    std::unique_ptr<PictureDecoder> decoder = jpeg ? OpenJpegDecoder(bytes) : nullptr;
    if (!decoder) decoder = OpenQtImageDecoder(bytes);
    // After the size limit, so that a giant claim is told as one (7); decoders fill in missing data.
    if (!PixelDataCanFit(bytes)) Raise(err::InvalidPicture);
    return decoder;
}

QImage To32Bit(const QImage& image) {
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.isNull() || image.format() == format) return image;
    QImage converted = image.convertToFormat(format);
    if (converted.isNull()) Raise(err::OutOfMemory);
    return converted;
}

}  // namespace platform
