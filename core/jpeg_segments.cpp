#include "core/jpeg_segments.h"

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

}  // namespace core
