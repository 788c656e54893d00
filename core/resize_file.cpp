#include "core/resize_file.h"

#include "core/exif_metadata.h"
#include "core/fit.h"
#include "core/jpeg_encoder.h"
#include "core/picture.h"
#include "core/shrink.h"

#include <fcntl.h>

namespace core {

Result<Resized> ResizeFile(const QByteArray& input, int outputFolderFd, const QByteArray& outputName,
                           const ResizeRequest& request, ReplaceOptions replace) {
    // The shrink decodes the whole file and tells its faults: no checking decode before it.
    const Result<Picture> picture = LoadPictureAt(AT_FDCWD, input, LoadCheck::HeaderOnly);
    if (!picture) return picture.error();
    const Result<Fit> fit = FitIntoBox(picture->size(), request.box);
    if (!fit) return fit.error();
    const QSize size = fit->pixels();
    Result<QImage> shrunk = ShrinkPicture(*picture, size, {.pool = request.pool, .background = Qt::white, .source = {}});
    if (!shrunk) return shrunk.error();
    const Result<QByteArray> kept = request.keepMetadata ? KeptExif(picture->exif()) : QByteArray();
    const QByteArray exif = kept ? *kept : QByteArray();
    const Result<QByteArray> jpeg = EncodeJpeg(PixelRows::Of(*shrunk), request.quality, ChromaSampling::ByQuality, exif);
    if (!jpeg) return jpeg.error();
    if (const Result<void> written = SafeReplaceAt(outputFolderFd, outputName, *jpeg, replace); !written) return written.error();
    return Resized{picture->size(), size, jpeg->size(), kept ? QString() : QStringLiteral("written without metadata: %1").arg(kept.error().message)};
}

}  // namespace core
