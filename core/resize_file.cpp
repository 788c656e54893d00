#include "core/resize_file.h"

#include "core/exif_metadata.h"
#include "core/fit_file_size.h"
#include "core/formats.h"
#include "core/jpeg_encoder.h"
#include "core/original_copy.h"
#include "core/picture.h"
#include "core/picture_decoder.h"
#include "core/shrink.h"

#include <fcntl.h>

namespace core {

namespace {

// Results from this size on are encoded as they are filtered. A smaller one is small beside what the encoder
// holds anyway, and malloc hands its memory straight to the next picture; streamed, it costs more page
// faults than it saves (a 1280-pixel batch: 2 MB more at its peak and four times the faults). A PNG's
// results are encoded as they are filtered at any size: its rows hold more than a JPEG's reduced decode, and
// a batch of 3000 x 2000 PNGs into 1920 then peaks at 64 MB rather than 73, in a tenth less time.
constexpr std::int64_t kStreamedPixels = 4'000'000;

// Whether the picture whose file begins with head may already be inside the box (either way up): only then
// may its own bytes stand for the result. Held beside its decoder's, they cost a batch a file's size again.
bool MayStayAsItIs(const QByteArray& head, const SizeRule& rule) {
    const QSize stored = PictureHeadSize(head);
    if (!stored.isValid()) return true;
    const auto unchanged = [&](QSize upright) {
        const Result<QSize> size = ResultSize(upright, rule);
        return size && *size == upright;
    };
    return unchanged(stored) || unchanged(stored.transposed());
}

// The JPEG of the whole picture shrunk to size, encoded as the filter finishes its rows: the result is never
// held whole, and encoding overlaps decoding. Empty when the picture cannot be shrunk so.
Result<QByteArray> StreamedJpeg(Picture& picture, QSize size, int quality, QByteArrayView exif, QThreadPool* pool) {
    // Made here rather than by the first rows, which any of the pool's threads may bring: the coefficients then
    // come from this thread's heap, where its earlier pictures left theirs, and not from a second thread's too.
    JpegWriter writer(size.width(), size.height(), PixelRows::Layout::Bgrx, quality, ChromaSampling::ByQuality, exif);
    const RowSink sink = [&](const QImage& rows) { return writer.Write(PixelRows::Of(rows)); };
    const Result<bool> streamed = picture.shrinkFromFileInto(size, sink, pool);
    if (!streamed) return streamed.error();
    if (!*streamed) return QByteArray();
    // The file's bytes are no longer needed: not held through the encoder's last pass.
    picture = Picture();
    return writer.Finish();
}

}  // namespace

Result<Resized> ResizeFile(const QByteArray& input, int outputFolderFd, const QByteArray& outputName,
                           const ResizeRequest& request, ReplaceOptions replace) {
    // The shrink decodes the whole file and tells its faults: no checking decode before it.
    // The head tells beforehand what the file's bytes are wanted for; the loader reads them once.
    const QByteArray head = ReadFileHead(input, kHeadSizeBytes).bytes;
    const bool png = IsPng(head);
    QByteArray fileBytes;
    Result<Picture> picture = LoadPictureAt(AT_FDCWD, input, LoadCheck::HeaderOnly,
                                            MayStayAsItIs(head, request.size) ? &fileBytes : nullptr);
    if (!picture) return picture.error();
    const QSize original = picture->size();
    const Result<QSize> size = ResultSize(original, request.size);
    if (!size) return size.error();
    const int frames = picture->frames();
    // The original may stand for a result of its own size and one frame only; the file's bytes are kept for
    // nothing else.
    const QByteArray originalCopy = *size == original && frames == 1
                                        ? OriginalAsResult(fileBytes, request.format, request.lossless)
                                        : QByteArray();
    fileBytes = QByteArray();
    const Result<QByteArray> kept = request.keepMetadata ? KeptExif(picture->exif()) : QByteArray();
    const QByteArray exif = kept ? *kept : QByteArray();
    QStringList notes;
    if (frames > 1) notes << QStringLiteral("animated: the first frame of %1 was used").arg(frames);
    if (!kept) notes << QStringLiteral("written without metadata: %1").arg(kept.error().detail);
    const Format& format = FormatOf(request.format);
    const QColor background = format.keepsTransparency ? QColor() : QColor(Qt::white);
    const auto encode = [&](const QImage& image, int quality) {
        return EncodePicture(image, {request.format, quality, request.lossless}, exif);
    };
    // Results without loss have no quality to lower: they fit as they are or are refused.
    const bool hasQuality = format.lossy && !(format.lossless && request.lossless);
    const auto shrunkWhole = [&]() -> Result<FittedFile> {
        Result<QImage> shrunk = ShrinkPicture(*picture, *size, {.pool = request.pool, .background = background, .source = {}});
        if (!shrunk) return shrunk.error();
        // The file's bytes are no longer needed: not held through the encoding as well.
        *picture = Picture();
        if (request.maxBytes <= 0) {
            // Nothing reads the result after this one encoding: the encoder may consume it.
            const Result<QByteArray> encoded =
                EncodePicture(std::move(*shrunk), {request.format, request.quality, request.lossless}, exif);
            if (!encoded) return encoded.error();
            return FittedFile{*encoded, *size, request.quality, 1};
        }
        // Smaller versions are drawn from this first result, not from the file: no second decode, and after
        // quality 30's coding a 24-megapixel photo's result measures the same either way.
        const Picture first = Picture::FromImage(*shrunk);
        const auto drawSmaller = [&](QSize to) { return ShrinkPicture(first, to, {.pool = request.pool, .background = background, .source = {}}); };
        const auto asIs = [&](const QImage& image) { return encode(image, request.quality); };
        return hasQuality ? FitFileSize(std::move(*shrunk), request.maxBytes, request.quality, encode, drawSmaller)
                          : FitFileSize(*shrunk, request.maxBytes, asIs);
    };
    const Result<FittedFile> file = [&]() -> Result<FittedFile> {
        if (request.format == OutputFormat::Jpeg && request.maxBytes <= 0 &&
            (png || std::int64_t(size->width()) * size->height() >= kStreamedPixels)) {
            const Result<QByteArray> streamed = StreamedJpeg(*picture, *size, request.quality, exif, request.pool);
            if (!streamed) return streamed.error();
            if (!streamed->isEmpty()) return FittedFile{*streamed, *size, request.quality, 1};
        }
        return shrunkWhole();
    }();
    // Never larger than the original: with a file size asked for, the smaller of the two that fits.
    const bool keepOriginal =
        !originalCopy.isEmpty() && (request.maxBytes <= 0 || originalCopy.size() <= request.maxBytes) &&
        (file ? originalCopy.size() < file->bytes.size() : file.error().cause == Cause::DoesNotFit);
    if (!keepOriginal && !file) return file.error();
    const bool lowered = !keepOriginal && hasQuality && file->quality < request.quality;
    const QSize to = keepOriginal ? original : file->size;
    if (keepOriginal)
        notes << QStringLiteral("the original is smaller: kept as it is");
    else if (to != *size)
        notes << QStringLiteral("made %1 × %2 to fit, at quality %3")
                     .arg(to.width())
                     .arg(to.height())
                     .arg(file->quality);
    else if (lowered)
        notes << QStringLiteral("fitted at quality %1").arg(file->quality);
    const QByteArray& bytes = keepOriginal ? originalCopy : file->bytes;
    if (request.made) request.made(bytes.size());
    if (const Result<void> written = SafeReplaceAt(outputFolderFd, outputName, bytes, replace); !written)
        return written.error();
    return Resized{original,
                   to,
                   bytes.size(),
                   notes.join(QStringLiteral("; ")),
                   to != *size || lowered,
                   keepOriginal ? 0 : file->quality,
                   !kept,
                   frames,
                   keepOriginal};
}

}  // namespace core
