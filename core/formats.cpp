#include "core/formats.h"

#include <jpeglib.h>
#include <webp/encode.h>
#include <algorithm>
#include <cstdio>  // before jpeglib.h, which uses FILE

namespace core {

namespace {

// The order of the main window's file list; JPEG, the default result, first.
constexpr Format kFormats[] = {
    {.name = "JPEG",
     .openName = "Jpg",
     .extensions = "jpg jpeg",
     .mimeTypes = "image/jpeg",
     .recognise = IsJpeg,
     .qtName = "jpeg",
     .headSize = JpegHeadSize,
     .open = OpenJpegDecoder,
     .written = OutputFormat::Jpeg,
     .mostPixelsASide = 65500,
     .lossy = true,
     .encode = EncodeJpegPicture},
    {.name = "BMP", .openName = "Bmp", .extensions = "bmp", .mimeTypes = "image/bmp", .qtName = "bmp"},
    {.name = "GIF", .openName = "Gif", .extensions = "gif", .mimeTypes = "image/gif", .qtName = "gif"},
    // 1000000: libpng's own limit on what it writes (PNG_USER_WIDTH_MAX).
    {.name = "PNG",
     .openName = "Png",
     .extensions = "png",
     .mimeTypes = "image/png",
     .recognise = IsPng,
     .qtName = "png",
     .headSize = PngHeadSize,
     .open = OpenPngDecoder,
     .written = OutputFormat::Png,
     .mostPixelsASide = 1'000'000,
     .keepsTransparency = true,
     .lossless = true,
     .encode = EncodePngPicture},
    {.name = "HEIF",
     .openName = "Heic",
     .extensions = "heic heif",
     .mimeTypes = "image/heic image/heif",
     .recognise = IsHeif,
     .headSize = HeifHeadSize,
     .open = OpenHeifDecoder,
     .checksItself = true},
    {.name = "AVIF",
     .openName = "Avif",
     .extensions = "avif",
     .mimeTypes = "image/avif",
     .recognise = IsHeif,
     .headSize = HeifHeadSize,
     .open = OpenHeifDecoder,
     .checksItself = true},
    {.name = "WebP",
     .openName = "WebP",
     .extensions = "webp",
     .mimeTypes = "image/webp",
     .recognise = IsWebp,
     .headSize = WebpHeadSize,
     .open = OpenWebpDecoder,
     .checksItself = true,
     .written = OutputFormat::Webp,
     .mostPixelsASide = 16383,
     .keepsTransparency = true,
     .lossy = true,
     .lossless = true,
     .encode = EncodeWebpPicture},
    {.name = "TIFF",
     .openName = "Tiff",
     .extensions = "tif tiff",
     .mimeTypes = "image/tiff",
     .qtName = "tiff"},
};

constexpr const Format& Written(OutputFormat format) {
    for (const Format& f : kFormats)
        if (f.written == format) return f;
    return kFormats[0];
}

// The sides the libraries themselves refuse beyond.
static_assert(Written(OutputFormat::Jpeg).mostPixelsASide == JPEG_MAX_DIMENSION);
static_assert(Written(OutputFormat::Webp).mostPixelsASide == WEBP_MAX_DIMENSION);

QStringList Words(const char* text) { return QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts); }

}  // namespace

std::span<const Format> Formats() { return kFormats; }

const Format& FormatOf(OutputFormat format) { return Written(format); }

const Format* RecognisedFormat(QByteArrayView head) {
    for (const Format& f : kFormats)
        if (f.recognise && f.recognise(head)) return &f;
    return nullptr;
}

bool ReadByQt(const QByteArray& format) {
    return std::any_of(std::begin(kFormats), std::end(kFormats),
                       [&](const Format& f) { return f.qtName && format == f.qtName; });
}

QStringList ExtensionsOf(const Format& format) { return Words(format.extensions); }

QStringList PictureExtensions() {
    QStringList all;
    for (const Format& f : kFormats) all += ExtensionsOf(f);
    return all;
}

QStringList PatternsOf(const Format& format) {
    QStringList patterns;
    for (const QString& e : ExtensionsOf(format)) patterns += QStringLiteral("*.") + e;
    return patterns;
}

QStringList PicturePatterns() {
    QStringList patterns;
    for (const Format& f : kFormats) patterns += PatternsOf(f);
    return patterns;
}

QStringList MimeTypes() {
    QStringList all;
    for (const Format& f : kFormats) all += Words(f.mimeTypes);
    return all;
}

QList<OutputFormat> WrittenFormats() {
    QList<OutputFormat> written;
    for (const Format& f : kFormats)
        if (f.written) written += *f.written;
    return written;
}

OutputFormat FormatOfName(QStringView name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    const QStringView extension = dot < 0 ? QStringView() : name.sliced(dot + 1);
    for (const Format& f : kFormats)
        if (f.written && ExtensionsOf(f).contains(extension, Qt::CaseInsensitive)) return *f.written;
    return OutputFormat::Jpeg;
}

QString ExtensionOf(OutputFormat format) { return u'.' + ExtensionsOf(FormatOf(format)).first(); }

QString SpokenList(const QStringList& items, const QString& lastJoin) {
    if (items.size() < 2) return items.join(QString());
    return items.first(items.size() - 1).join(QStringLiteral(", ")) + u' ' + lastJoin + u' ' + items.last();
}

}  // namespace core
