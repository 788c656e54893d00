#include "core/resize_memory.h"

#include "core/jpeg_segments.h"
#include "core/picture_decoder.h"
#include "core/png_chunks.h"

#include <algorithm>

namespace core {

std::int64_t EncoderMemory(std::int64_t pixels, const EncodeChoice& encoding) {
    if (encoding.format != OutputFormat::Webp) return 4 * pixels;
    // Measured on 12-megapixel results: about 28 bytes a pixel in the lossless coder at level 6, under 8 in
    // the lossy one (the picture converted, YUV, tokens, and with alpha the alpha plane's lossless coding).
    return (encoding.lossless ? 28 : 10) * pixels;
}

Result<void> FitsJobMemory(std::int64_t bytes) {
    if (bytes <= kMaxJobMemory) return {};
    return Error{Cause::TooCostly, QStringLiteral("would take %1 MB, more than the %2 MB one picture may use")
                                       .arg(bytes >> 20)
                                       .arg(kMaxJobMemory >> 20)};
}

std::int64_t ResizeMemory(const QByteArray& input, const SizeRule& rule, const EncodeChoice& encoding) {
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

    // The result, its upright copy, and its encoder's memory with the encoding.
    const Result<QSize> to = ResultSize(size, rule);
    const std::int64_t resultPixels = to ? area(*to) : area(size);
    const std::int64_t result = 2 * 4 * resultPixels + EncoderMemory(resultPixels, encoding);
    // libheif's planes and its 8-bit copy before ours.
    if (IsHeif(head)) return fileBytes + 3 * 4 * area(size) + result;
    // A PNG is read by rows unless interlaced, or kept at its own size.
    const PngHeader png = ReadPngHeader(head);
    const bool byRows = jpeg || (png.valid && !png.interlaced && to && *to != size);
    if (!byRows) return fileBytes + 2 * 4 * area(size) + result;  // decoded whole, and converted once
    // Decoded rows waiting for the filter (four chunks of sixteen at the full width), the filter's ring of
    // 16-bit rows at the result's width (no more than twice the full width's bytes), and a progressive
    // file's coefficients (two bytes each, up to three full-size components).
    const std::int64_t rows = std::int64_t(size.width()) * 4 * (4 * 16 + 16);
    const std::int64_t coefficients = progressive ? std::min<std::int64_t>(6 * area(size), kDecodeMemoryBudget) : 0;
    return fileBytes + rows + coefficients + result;
}

}  // namespace core
