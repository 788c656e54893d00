#include "core/resize_file.h"

#include "core/exif_metadata.h"
#include "core/fit.h"
#include "core/jpeg_encoder.h"
#include "core/picture.h"
#include "core/safe_replace.h"
#include "core/shrink.h"

namespace core {

Result<Resized> ResizeFile(const QString& input, const QString& output, const ResizeRequest& request) {
    // The shrink decodes the whole file and tells its faults: no checking decode before it.
    const Result<Picture> picture = LoadPicture(input, LoadCheck::HeaderOnly);
    if (!picture) return picture.error();
    const Result<Fit> fit = FitIntoBox(picture->size(), request.box);
    if (!fit) return fit.error();
    const QSize size = fit->pixels();
    Result<QImage> shrunk = ShrinkPicture(*picture, size, {.pool = request.pool, .background = Qt::white, .source = {}, .once = true});
    if (!shrunk) return shrunk.error();
    const QByteArray exif = request.keepMetadata ? KeptExif(picture->exif()) : QByteArray();
    const Result<QByteArray> jpeg = EncodeJpeg(PixelRows::Of(*shrunk), request.quality, ChromaSampling::ByQuality, exif);
    if (!jpeg) return jpeg.error();
    if (const Result<void> written = SafeReplace(output, *jpeg); !written) return written.error();
    return Resized{picture->size(), size};
}

}  // namespace core
