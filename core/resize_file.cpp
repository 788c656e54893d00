#include "core/resize_file.h"

#include "core/exif_metadata.h"
#include "core/fit_file_size.h"
#include "core/picture.h"
#include "core/shrink.h"

#include <fcntl.h>

namespace core {

Result<Resized> ResizeFile(const QByteArray& input, int outputFolderFd, const QByteArray& outputName,
                           const ResizeRequest& request, ReplaceOptions replace) {
    // The shrink decodes the whole file and tells its faults: no checking decode before it.
    Result<Picture> picture = LoadPictureAt(AT_FDCWD, input, LoadCheck::HeaderOnly);
    if (!picture) return picture.error();
    const QSize original = picture->size();
    const Result<QSize> size = ResultSize(original, request.size);
    if (!size) return size.error();
    // PNG and WebP results keep a picture's transparency; a JPEG lays it on white.
    const QColor background = request.format == OutputFormat::Jpeg ? QColor(Qt::white) : QColor();
    Result<QImage> shrunk = ShrinkPicture(*picture, *size, {.pool = request.pool, .background = background, .source = {}});
    if (!shrunk) return shrunk.error();
    const Result<QByteArray> kept = request.keepMetadata ? KeptExif(picture->exif()) : QByteArray();
    // The file's bytes are no longer needed: not held through the encoding as well.
    *picture = Picture();
    const QByteArray exif = kept ? *kept : QByteArray();
    const auto encode = [&](const QImage& image, int quality) {
        return EncodePicture(image, {request.format, quality, request.lossless}, exif);
    };
    // PNG and lossless WebP have no quality to lower: they fit as they are or are refused.
    const bool hasQuality = request.format == OutputFormat::Jpeg || (request.format == OutputFormat::Webp && !request.lossless);
    QStringList notes;
    if (!kept) notes << QStringLiteral("written without metadata: %1").arg(kept.error().message);
    const auto encodeOnce = [&]() -> Result<FittedFile> {
        // Nothing reads the result after this one encoding: the encoder may consume it.
        const Result<QByteArray> encoded =
            EncodePicture(std::move(*shrunk), {request.format, request.quality, request.lossless}, exif);
        if (!encoded) return encoded.error();
        return FittedFile{*encoded, *size, request.quality, 1};
    };
    // Smaller versions are drawn from this first result, not from the file: no second decode, and after
    // quality 30's coding a 24-megapixel photo's result measures the same either way.
    const Picture first = request.maxBytes > 0 ? Picture::FromImage(*shrunk) : Picture();
    const auto drawSmaller = [&](QSize to) { return ShrinkPicture(first, to, {.pool = request.pool, .background = background, .source = {}}); };
    const auto asIs = [&](const QImage& image) { return encode(image, request.quality); };
    const Result<FittedFile> file =
        request.maxBytes <= 0 ? encodeOnce()
        : hasQuality          ? FitFileSize(std::move(*shrunk), request.maxBytes, request.quality, encode, drawSmaller)
                              : FitFileSize(*shrunk, request.maxBytes, asIs);
    if (!file) return file.error();
    const bool lowered = hasQuality && file->quality < request.quality;
    if (file->size != *size)
        notes << QStringLiteral("made %1 × %2 to fit, at quality %3")
                     .arg(file->size.width())
                     .arg(file->size.height())
                     .arg(file->quality);
    else if (lowered)
        notes << QStringLiteral("fitted at quality %1").arg(file->quality);
    if (const Result<void> written = SafeReplaceAt(outputFolderFd, outputName, file->bytes, replace);
        !written)
        return written.error();
    const bool fitted = file->size != *size || lowered;
    return Resized{original, file->size, file->bytes.size(), notes.join(QStringLiteral("; ")), fitted};
}

}  // namespace core
