#include "core/exif_orientation.h"

#include "core/jpeg_segments.h"

#include <QTransform>
#include <cstdint>

namespace core {

namespace {

// Bounds-checked reads in the block's own byte order; every read past the end gives nothing.
struct TiffReader {
    QByteArrayView data;
    bool bigEndian = false;

    bool Has(qsizetype offset, qsizetype count) const {
        return offset >= 0 && count >= 0 && offset <= data.size() && count <= data.size() - offset;
    }
    std::uint32_t U16(qsizetype at) const {
        const auto b0 = std::uint8_t(data[at]), b1 = std::uint8_t(data[at + 1]);
        return bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
    }
    std::uint32_t U32(qsizetype at) const {
        const std::uint32_t hi = U16(at), lo = U16(at + 2);
        return bigEndian ? (hi << 16 | lo) : (lo << 16 | hi);
    }
};

constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kTypeShort = 3;

}  // namespace

int ExifOrientation(QByteArrayView tiff) {
    TiffReader r{tiff};
    if (!r.Has(0, 8)) return 1;
    if (tiff[0] == 'M' && tiff[1] == 'M')
        r.bigEndian = true;
    else if (!(tiff[0] == 'I' && tiff[1] == 'I'))
        return 1;
    if (r.U16(2) != 42) return 1;
    const qsizetype ifd = r.U32(4);
    if (!r.Has(ifd, 2)) return 1;
    const qsizetype count = r.U16(ifd);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype entry = ifd + 2 + 12 * i;
        if (!r.Has(entry, 12)) return 1;
        if (r.U16(entry) != kOrientationTag) continue;
        if (r.U16(entry + 2) != kTypeShort || r.U32(entry + 4) < 1) return 1;
        const int value = int(r.U16(entry + 8));  // a single short sits in the value field itself
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

int JpegExifOrientation(QByteArrayView jpeg) {
    static constexpr char kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    for (QByteArrayView app1 : JpegAppSegments(jpeg, 1)) {
        if (app1.size() >= 6 && app1.first(6) == QByteArrayView(kExifHeader, 6))
            return ExifOrientation(app1.sliced(6));
    }
    return 1;
}

bool OrientationSwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

QImage ApplyOrientation(const QImage& stored, int orientation) {
    switch (orientation) {
        case 2:
            return stored.mirrored(true, false);
        case 3:
            return stored.mirrored(true, true);
        case 4:
            return stored.mirrored(false, true);
        case 5:  // transpose
            return stored.transformed(QTransform().rotate(90)).mirrored(true, false);
        case 6:
            return stored.transformed(QTransform().rotate(90));
        case 7:  // transverse
            return stored.transformed(QTransform().rotate(270)).mirrored(true, false);
        case 8:
            return stored.transformed(QTransform().rotate(270));
        default:
            return stored;
    }
}

}  // namespace core
