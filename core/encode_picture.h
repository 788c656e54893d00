#pragma once
// The result file's bytes in the format asked for: JPEG, PNG or WebP, from one shrunk picture.

#include "core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace core {

enum class OutputFormat { Jpeg, Png, Webp };

struct EncodeChoice {
    OutputFormat format = OutputFormat::Jpeg;
    int quality = 90;       // 1..100, for JPEG and lossy WebP; PNG and lossless WebP ignore it
    bool lossless = false;  // WebP only
};

// The picture encoded as asked. Transparency is kept in PNG and WebP and laid on white in JPEG. exif,
// when given, is an APP1 payload ("Exif\0\0" and a TIFF block) and goes into the file in the format's own
// place (APP1, PNG's eXIf, WebP's EXIF). Errors: invalid size for an empty picture, too large for the
// format above the side it holds (Format::mostPixelsASide), out of memory.
Result<QByteArray> EncodePicture(const QImage& image, const EncodeChoice& choice, QByteArrayView exif = {});
// The same for a picture handed over with memory of its own: a JPEG encoder gives each band of rows back
// to the system once it has read them, when no one else shares the picture.
Result<QByteArray> EncodePicture(QImage&& image, const EncodeChoice& choice, QByteArrayView exif = {});

// Each format's encoder, as the format table names them; EncodePicture has checked the picture's size.
Result<QByteArray> EncodeJpegPicture(const QImage& image, const EncodeChoice& choice, QByteArrayView exif);
Result<QByteArray> EncodePngPicture(const QImage& image, const EncodeChoice& choice, QByteArrayView exif);
Result<QByteArray> EncodeWebpPicture(const QImage& image, const EncodeChoice& choice, QByteArrayView exif);

}  // namespace core
