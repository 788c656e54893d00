#include "core/exif_orientation.h"

#include "core/jpeg_segments.h"
#include "core/tiff.h"

#include <QTransform>
#include <cstdint>

namespace core {

namespace {

constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kTypeShort = 3;

}  // namespace

int ExifOrientation(QByteArrayView tiff) {
    const std::optional<TiffReader> reader = TiffReader::Open(tiff);
    if (!reader) return 1;
    for (const TiffEntry& entry : reader->Directory(reader->firstDirectory())) {
        if (entry.tag != kOrientationTag) continue;
        const std::uint32_t value = entry.type == kTypeShort ? reader->Number(entry) : 0;
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

QByteArrayView JpegExifBlock(QByteArrayView jpeg) {
    static constexpr char kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    for (QByteArrayView app1 : JpegAppSegments(jpeg, 1)) {
        if (app1.size() >= 6 && app1.first(6) == QByteArrayView(kExifHeader, 6)) return app1.sliced(6);
    }
    return {};
}

int JpegExifOrientation(QByteArrayView jpeg) { return ExifOrientation(JpegExifBlock(jpeg)); }

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
