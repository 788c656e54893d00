#include "core/resize_memory.h"

#include "core/jpeg_segments.h"
#include "core/picture_decoder.h"

#include <algorithm>

namespace core {

std::int64_t ResizeMemory(const QByteArray& input, const SizeRule& rule) {
    const FileHead file = ReadFileHead(input, kHeadSizeBytes);
    const QByteArray& head = file.bytes;
    const std::int64_t fileBytes = file.fileBytes;
    const auto area = [](QSize s) { return std::int64_t(std::max(s.width(), 0)) * std::max(s.height(), 0); };
    const bool jpeg = head.startsWith("\xFF\xD8");
    const QSize size = PictureHeadSize(head);
    bool progressive = false;
    if (jpeg) {
        const int frame = ReadJpegLayout(head, false).frameMarker;
        progressive = frame == 0xC2 || frame == 0xC6 || frame == 0xCA || frame == 0xCE;
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
