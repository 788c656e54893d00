#include "core/icc_profile.h"

#include "core/jpeg_segments.h"

#include <vector>

namespace core {

QByteArray JpegIccProfile(QByteArrayView jpeg) {
    static constexpr char kIccHeader[] = "ICC_PROFILE";  // with its terminating zero: 12 bytes
    std::vector<QByteArrayView> chunks;
    int expected = 0;
    for (QByteArrayView app2 : JpegAppSegments(jpeg, 2)) {
        if (app2.size() < 14 || app2.first(12) != QByteArrayView(kIccHeader, 12)) continue;
        const int sequence = std::uint8_t(app2[12]), count = std::uint8_t(app2[13]);
        if (count == 0 || sequence == 0 || sequence > count) return {};
        if (expected == 0) {
            expected = count;
            chunks.resize(count);
        }
        if (count != expected || !chunks[sequence - 1].isNull()) return {};
        chunks[sequence - 1] = app2.sliced(14);
    }
    QByteArray profile;
    for (QByteArrayView chunk : chunks) {
        if (chunk.isNull()) return {};
        profile.append(chunk);
    }
    return profile;
}

namespace {

// sRGB primaries with a plain 2.2 gamma is how many tools (ImageMagick among them) tag an ordinary sRGB
// PNG; converting it would shift every pixel a few levels for no visible gain.
bool CountsAsSrgb(const QColorSpace& space) {
    // sRGB's primaries exactly, or as a file's chromaticities give them rounded (a PNG's cHRM chunk).
    static const QColorSpace srgb(QColorSpace::SRgb);
    if (space.withTransferFunction(QColorSpace::TransferFunction::SRgb) != srgb) return false;
    if (space.transferFunction() == QColorSpace::TransferFunction::SRgb) return true;
    return space.transferFunction() == QColorSpace::TransferFunction::Gamma && space.gamma() > 2.15f &&
           space.gamma() < 2.25f;
}

}  // namespace

QImage ToSrgb(QImage image, const QColorSpace& space) {
    static const QColorSpace srgb(QColorSpace::SRgb);
    if (image.isNull() || !space.isValid() || space == srgb || CountsAsSrgb(space)) return image;
    image.setColorSpace(space);
    image.convertToColorSpace(srgb);
    return image;
}

}  // namespace core
