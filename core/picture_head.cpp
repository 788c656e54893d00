// A file's first bytes: the picture's size they tell (PictureHeadSize), and whether the rest is worth
// reading (CheckPictureHead), so that neither a large file of no picture nor a small one claiming a giant
// picture costs more than its header.

#include "core/formats.h"
#include "core/heif_decode_plan.h"
#include "core/jpeg_segments.h"
#include "core/picture_decoder.h"
#include "core/png_chunks.h"
#include "core/unique_fd.h"

#include <QBuffer>
#include <QImageReader>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {

// Room for metadata beyond the pixels' coding: Exif, profiles, previews and text of any real file.
constexpr std::int64_t kMetadataBytes = std::int64_t(64) << 20;
// No coding this program reads spends more than this on a pixel (16-bit RGBA PNG, unfiltered).
constexpr std::int64_t kMostBytesPerPixel = 8;

}  // namespace

bool TiffDirectoryBeyond(QByteArrayView head) {
    // Four bytes each: a plain literal would end at its zero byte.
    if (head.size() < 8 || !(head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4))))
        return false;
    const auto byte = [&](int i) { return std::uint32_t(std::uint8_t(head[i])); };
    const std::uint32_t directory = head[0] == 'I' ? byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24
                                                   : byte(4) << 24 | byte(5) << 16 | byte(6) << 8 | byte(7);
    return directory >= std::uint32_t(head.size());
}

FileHead ReadFileHead(const QByteArray& path, qsizetype maxBytes) {
    FileHead head;
    const UniqueFd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) return head;
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
        head.fileBytes = st.st_size;
        head.bytes.resize(maxBytes);
        const ssize_t n = ::pread(fd.get(), head.bytes.data(), std::size_t(maxBytes), 0);
        head.bytes.truncate(n > 0 ? n : 0);
    }
    return head;
}

bool IsJpeg(QByteArrayView head) { return head.startsWith("\xFF\xD8"); }

bool IsPng(QByteArrayView head) { return head.startsWith("\x89PNG\r\n\x1a\n"); }

QSize JpegHeadSize(const QByteArray& head) {
    const JpegLayout frame = ReadJpegLayout(head, false);
    return frame.frameMarker != 0 ? QSize(frame.width, frame.height) : QSize();
}

QSize PngHeadSize(const QByteArray& head) {
    const PngHeader png = ReadPngHeader(head);
    return png.valid && png.width <= std::uint32_t(INT_MAX) && png.height <= std::uint32_t(INT_MAX)
               ? QSize(int(png.width), int(png.height))
               : QSize();
}

QSize HeifHeadSize(const QByteArray& head) { return HeifDeclaredSize(head); }

QSize WebpHeadSize(const QByteArray& head) {
    const Result<QSize> size = WebpSize(head);
    return size ? *size : QSize();
}

QSize QtHeadSize(const QByteArray& head) {
    if (TiffDirectoryBeyond(head)) return {};
    QBuffer buffer;
    buffer.setData(head);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!ReadByQt(reader.format())) return {};
    const QSize size = ReaderSize(reader).expandedTo(GifCanvas(head));
    return size.isEmpty() ? QSize() : size;
}

QSize PictureHeadSize(const QByteArray& head) {
    const Format* known = RecognisedFormat(head);
    return known ? known->headSize(head) : QtHeadSize(head);
}

Result<void> CheckPictureHead(const QByteArray& head, std::int64_t fileBytes) {
    // A HEIF's boxes may name hundreds of items before the primary one's size; the decoder tells it
    // from the whole file, before decoding anything.
    if (IsHeif(head)) return {};
    // A TIFF's directory, which holds its size, often follows its pixels: the decoder checks it once the
    // file is read.
    if (head.size() < fileBytes && TiffDirectoryBeyond(head)) return {};
    // Without PNG text, so that the reader gets past it to the pixels' format within the head.
    QBuffer buffer;
    buffer.setData(WithoutPngText(head));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    // Read by a library that checks its own data (WebP), whose decoder keeps to the budget itself at the
    // scale it decodes at.
    const Format* known = RecognisedFormat(head);
    const bool checksItself = known && known->checksItself;
    // Qt's JPEG reader knows a JPEG by these two bytes too; asking it would load every image plugin.
    const bool jpeg = IsJpeg(head);
    if (!checksItself && !jpeg && !ReadByQt(reader.format())) return NotAPicture();

    // JPEG and PNG sizes straight from their headers: Qt's readers go through every segment or chunk
    // before the pixels first, and those may lie beyond the head.
    const PngHeader png = ReadPngHeader(head);
    QSize size;
    if (jpeg) {
        const JpegLayout frame = ReadJpegLayout(head, false);
        if (frame.frameMarker != 0) size = QSize(frame.width, frame.height);
        // Exif, profiles and XMP of a real photo may fill more than the head: read on while they are whole.
        if (frame.frameMarker == 0 && head.size() < fileBytes && JpegHeaderRunsOn(head)) return {};
    } else if (checksItself) {
        size = known->headSize(head);
        if (!size.isValid()) return NotAPicture();
    } else if (png.valid) {
        size = PngHeadSize(head);
    } else {
        size = ReaderSize(reader).expandedTo(GifCanvas(head));
    }
    if (!size.isValid() || size.isEmpty())
        return Error{
            Cause::Damaged,
            head.size() < fileBytes
                ? QStringLiteral("no picture size found in the file's first %1 KB").arg(head.size() >> 10)
                : QStringLiteral("no picture size found in the file's %1 bytes").arg(head.size())};
    const std::int64_t pixels = std::int64_t(size.width()) * size.height();
    if (pixels > kMaxPicturePixels) return TooLarge();
    if (fileBytes > kMetadataBytes + kMostBytesPerPixel * pixels)
        return Error{Cause::Damaged, QStringLiteral("file far larger than its %1 x %2 picture needs")
                                         .arg(size.width())
                                         .arg(size.height())};
    // The JPEG decoder keeps to the budget itself too.
    if (jpeg || checksItself) return {};
    QImage::Format format = DecodedFormat(reader, head);
    // Other chunks before the pixels may lie beyond the head: then the deepest a 16-bit PNG comes out at.
    if (format == QImage::Format_Invalid && png.valid && png.bitDepth == 16) format = QImage::Format_RGBA64;
    return FitsDecodeBudget(pixels, format);
}

}  // namespace core
