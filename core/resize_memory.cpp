#include "core/resize_memory.h"

#include "core/heif_decode_plan.h"
#include "core/jpeg_segments.h"
#include "core/picture_decoder.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {

// Enough for the frame of a JPEG after a large Exif block, and for every other format's header.
constexpr qint64 kHeaderBytes = 256 * 1024;

}  // namespace

std::int64_t ResizeMemory(const QByteArray& input, const SizeRule& rule) {
    // As the loader opens it: never waiting on a pipe or a device, which the loader then refuses.
    const int fd = ::open(input.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return kDecodeMemoryBudget;
    struct stat st {};
    QByteArray head;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        head.resize(kHeaderBytes);
        const ssize_t n = ::pread(fd, head.data(), std::size_t(head.size()), 0);
        head.truncate(n > 0 ? n : 0);
    }
    ::close(fd);
    const std::int64_t fileBytes = st.st_size;
    const auto area = [](QSize s) { return std::int64_t(std::max(s.width(), 0)) * std::max(s.height(), 0); };
    const bool jpeg = head.startsWith("\xFF\xD8");
    QSize size;
    bool progressive = false;
    if (jpeg) {
        const JpegLayout layout = ReadJpegLayout(head, false);
        size = QSize(layout.width, layout.height);
        progressive = layout.frameMarker == 0xC2 || layout.frameMarker == 0xC6 || layout.frameMarker == 0xCA ||
                      layout.frameMarker == 0xCE;
    } else if (IsHeif(head)) {
        size = HeifDeclaredSize(head);
    } else if (IsWebp(head)) {
        const Result<QSize> webp = WebpSize(head);
        size = webp ? *webp : QSize();
    } else if (!TiffDirectoryBeyond(head)) {
        QBuffer buffer;
        buffer.setData(head);
        buffer.open(QIODevice::ReadOnly);
        size = QImageReader(&buffer).size();
    }
    if (size.isEmpty() || area(size) > kMaxPicturePixels) return kDecodeMemoryBudget;

    // The result, its upright copy and its encoding (at most about as large again).
    const Result<QSize> to = ResultSize(size, rule);
    const std::int64_t result = 3 * 4 * (to ? area(*to) : area(size));
    // libheif's planes and its 8-bit copy before ours.
    if (IsHeif(head)) return fileBytes + 3 * 4 * area(size) + result;
    if (!jpeg) return fileBytes + 2 * 4 * area(size) + result;  // decoded whole, and converted once
    // Decoded rows waiting for the filter (four chunks of sixteen at the full width), the filter's ring of
    // 16-bit rows at the result's width (no more than twice the full width's bytes), and a progressive
    // file's coefficients (two bytes each, up to three full-size components).
    const std::int64_t rows = std::int64_t(size.width()) * 4 * (4 * 16 + 16);
    const std::int64_t coefficients = progressive ? std::min<std::int64_t>(6 * area(size), kDecodeMemoryBudget) : 0;
    return fileBytes + rows + coefficients + result;
}

}  // namespace core
