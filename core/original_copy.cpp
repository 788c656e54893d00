#include "core/original_copy.h"

#include "core/jpeg_segments.h"
#include "core/picture_decoder.h"
#include "core/png_chunks.h"

#include <webp/decode.h>

namespace core {

namespace {

bool PngHasExif(const QByteArray& png) {
    qsizetype at = 8;
    while (at + 8 <= png.size()) {
        const QByteArrayView kind = QByteArrayView(png).sliced(at + 4, 4);
        if (kind == "eXIf") return true;
        if (kind == "IEND") break;
        std::uint32_t length = 0;
        for (int i = 0; i < 4; ++i) length = (length << 8) | std::uint8_t(png[at + i]);
        at += 12 + qsizetype(length);
    }
    return false;
}

}  // namespace

QByteArray OriginalAsResult(const QByteArray& original, OutputFormat format, bool lossless) {
    switch (format) {
        case OutputFormat::Jpeg: {
            if (!original.startsWith("\xFF\xD8\xFF")) return {};
            const bool personal =
                !JpegAppSegments(original, 1).empty() || !JpegAppSegments(original, 13).empty();
            return personal ? QByteArray() : original;
        }
        case OutputFormat::Png:
            if (!ReadPngHeader(original).valid || PngHasExif(original)) return {};
            return WithoutPngText(original);
        case OutputFormat::Webp: {
            WebPBitstreamFeatures features;
            if (!IsWebp(original) ||
                WebPGetFeatures(reinterpret_cast<const std::uint8_t*>(original.constData()),
                                std::size_t(original.size()), &features) != VP8_STATUS_OK)
                return {};
            const bool losslessCoded = features.format == 2;
            if (losslessCoded != lossless || !WebpChunk(original, "EXIF").isEmpty() ||
                !WebpChunk(original, "XMP ").isEmpty())
                return {};
            return original;
        }
    }
    return {};
}

}  // namespace core
