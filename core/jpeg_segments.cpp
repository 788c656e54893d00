#include "core/jpeg_segments.h"

#include <cstdint>
#include <cstring>

namespace core {

std::vector<QByteArrayView> JpegAppSegments(QByteArrayView jpeg, int n) {
    std::vector<QByteArrayView> found;
    const auto byte = [&](qsizetype i) { return std::uint8_t(jpeg[i]); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return found;
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (byte(pos) != 0xFF) break;
        while (pos < jpeg.size() && byte(pos) == 0xFF) ++pos;  // fill bytes
        if (pos + 3 > jpeg.size()) break;
        const int marker = byte(pos++);
        if (marker == 0xDA || marker == 0xD9) break;                         // start of scan, end of image
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length field
        const qsizetype length = (qsizetype(byte(pos)) << 8) | byte(pos + 1);
        if (length < 2 || pos + length > jpeg.size()) break;
        if (marker == 0xE0 + n) found.push_back(jpeg.sliced(pos + 2, length - 2));
        pos += length;
    }
    return found;
}

JpegLayout ReadJpegLayout(QByteArrayView jpeg) {
    JpegLayout layout;
    const auto byte = [&](qsizetype i) { return std::uint8_t(jpeg[i]); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return layout;
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (byte(pos) != 0xFF) break;
        while (pos < jpeg.size() && byte(pos) == 0xFF) ++pos;  // fill bytes
        if (pos + 3 > jpeg.size()) break;
        const int marker = byte(pos++);
        if (marker == 0xD9) break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length field
        const qsizetype length = (qsizetype(byte(pos)) << 8) | byte(pos + 1);
        if (length < 2 || pos + length > jpeg.size()) break;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && layout.frameMarker == 0 && length >= 7) {
            layout.frameMarker = marker;
            layout.height = (byte(pos + 3) << 8) | byte(pos + 4);
            layout.width = (byte(pos + 5) << 8) | byte(pos + 6);
        }
        pos += length;
        if (marker != 0xDA) continue;
        ++layout.scans;
        // The scan's coded data: up to the next marker that is neither a stuffed 0xFF nor a restart.
        while (pos + 1 < jpeg.size()) {
            const void* ff = std::memchr(jpeg.data() + pos, 0xFF, std::size_t(jpeg.size() - 1 - pos));
            if (!ff) {
                pos = jpeg.size();
                break;
            }
            pos = static_cast<const char*>(ff) - jpeg.data();
            const int next = byte(pos + 1);
            if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7)) break;
            pos += 2;
        }
    }
    return layout;
}

}  // namespace core
