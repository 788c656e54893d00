#include "core/jpeg_segments.h"

#include <cstdint>
#include <cstring>
#include <functional>

namespace core {

namespace {

// Calls segment(marker, payload) for each segment with a length field, in file order, skipping the coded
// data after each start of scan, until the end of the image, a fault, or segment returning false.
void WalkSegments(QByteArrayView jpeg, const std::function<bool(int, QByteArrayView)>& segment) {
    const auto byte = [&](qsizetype i) { return std::uint8_t(jpeg[i]); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return;
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (byte(pos) != 0xFF) {
            // Stray bytes before a marker, which libjpeg passes over (with a warning) to the next 0xFF: a
            // walk that stopped at them would not see the scans after.
            const void* ff = std::memchr(jpeg.data() + pos, 0xFF, std::size_t(jpeg.size() - pos));
            if (!ff) break;
            pos = static_cast<const char*>(ff) - jpeg.data();
            continue;
        }
        while (pos < jpeg.size() && byte(pos) == 0xFF) ++pos;  // fill bytes
        if (pos + 3 > jpeg.size()) break;
        const int marker = byte(pos++);
        if (marker == 0xD9) break;                                           // end of image
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length field
        const qsizetype length = (qsizetype(byte(pos)) << 8) | byte(pos + 1);
        if (length < 2 || pos + length > jpeg.size()) break;
        if (!segment(marker, jpeg.sliced(pos + 2, length - 2))) break;
        pos += length;
        if (marker != 0xDA) continue;
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
}

}  // namespace

std::vector<QByteArrayView> JpegAppSegments(QByteArrayView jpeg, int n) {
    std::vector<QByteArrayView> found;
    WalkSegments(jpeg, [&](int marker, QByteArrayView payload) {
        if (marker == 0xDA) return false;  // only the segments before the first scan
        if (marker == 0xE0 + n) found.push_back(payload);
        return true;
    });
    return found;
}

JpegLayout ReadJpegLayout(QByteArrayView jpeg, bool allScans) {
    JpegLayout layout;
    WalkSegments(jpeg, [&](int marker, QByteArrayView payload) {
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && layout.frameMarker == 0 && payload.size() >= 5) {
            const auto byte = [&](qsizetype i) { return std::uint8_t(payload[i]); };
            layout.frameMarker = marker;
            layout.height = (byte(1) << 8) | byte(2);
            layout.width = (byte(3) << 8) | byte(4);
        }
        if (marker != 0xDA) return true;
        ++layout.scans;
        return allScans;
    });
    return layout;
}

bool JpegHeaderRunsOn(QByteArrayView jpeg) {
    qsizetype end = 2;
    bool scan = false;
    WalkSegments(jpeg, [&](int marker, QByteArrayView payload) {
        end = payload.data() + payload.size() - jpeg.data();
        scan = marker == 0xDA;
        return !scan;
    });
    if (scan || jpeg.size() < 2 || std::uint8_t(jpeg[0]) != 0xFF || std::uint8_t(jpeg[1]) != 0xD8) return false;
    if (end + 4 > jpeg.size()) return true;  // cut inside the next segment's marker or length
    const auto byte = [&](qsizetype i) { return std::uint8_t(jpeg[i]); };
    const qsizetype length = (qsizetype(byte(end + 2)) << 8) | byte(end + 3);
    return byte(end) == 0xFF && length >= 2 && end + 2 + length > jpeg.size();
}

}  // namespace core
