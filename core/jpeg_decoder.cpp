// JPEG through TurboJPEG: DCT-scaled decoding straight into the rows of a Format_RGB32 image.

#include "core/exif_orientation.h"
#include "core/icc_profile.h"
#include "core/picture_decoder.h"

#include <turbojpeg.h>
#include <QColorSpace>
#include <array>
#include <memory>

namespace core {

namespace {

struct TjHandle {
    tjhandle h = tjInitDecompress();
    ~TjHandle() {
        if (h) tjDestroy(h);
    }
};

// Only the power-of-two reductions: they have the decoder's fast paths.
constexpr std::array<tjscalingfactor, 4> kScales{{{1, 8}, {1, 4}, {1, 2}, {1, 1}}};

class JpegDecoder final : public PictureDecoder {
public:
    JpegDecoder(QByteArray bytes, QSize stored, int orientation, QColorSpace space)
        : bytes_(std::move(bytes)),
          stored_(stored),
          orientation_(orientation),
          space_(std::move(space)),
          exif_(JpegExifBlock(bytes_).toByteArray()) {}

    QByteArray exif() const override { return exif_; }

    QSize size() const override {
        return OrientationSwapsAxes(orientation_) ? stored_.transposed() : stored_;
    }

    Result<QImage> Decode(QSize target) const override {
        if (OrientationSwapsAxes(orientation_)) target.transpose();
        tjscalingfactor scale = kScales.back();
        for (const tjscalingfactor& s : kScales) {
            if (Covers(Scaled(s), target)) {
                scale = s;
                break;
            }
        }
        const QSize scaled = Scaled(scale);
        QImage image(scaled, QImage::Format_RGB32);
        if (image.isNull()) return NoMemory();
        TjHandle tj;
        if (!tj.h) return NoMemory();
        // A reduced decode is always shrunk further, which hides the plain chroma upsampling it saves time
        // with; a full-size decode keeps the smooth one.
        const int flags = scale.num == scale.denom ? 0 : TJFLAG_FASTUPSAMPLE;
        // A warning such as "premature end of data" also fails here: a damaged file is refused whole.
        if (tjDecompress2(tj.h, reinterpret_cast<const unsigned char*>(bytes_.constData()),
                          static_cast<unsigned long>(bytes_.size()), image.bits(), scaled.width(),
                          int(image.bytesPerLine()), scaled.height(), TJPF_BGRX, flags) != 0)
            return NotAPicture();
        return ToSrgb(ApplyOrientation(image, orientation_), space_);
    }

private:
    QSize Scaled(tjscalingfactor s) const {
        return {TJSCALED(stored_.width(), s), TJSCALED(stored_.height(), s)};
    }

    QByteArray bytes_;
    QSize stored_;
    int orientation_;
    QColorSpace space_;
    QByteArray exif_;
};

}  // namespace

Result<std::unique_ptr<PictureDecoder>> OpenJpegDecoder(QByteArray bytes) {
    TjHandle tj;
    if (!tj.h) return NoMemory();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.h, reinterpret_cast<const unsigned char*>(bytes.constData()),
                            static_cast<unsigned long>(bytes.size()), &width, &height, &subsampling,
                            &colorspace) != 0 ||
        width <= 0 || height <= 0)
        return NotAPicture();
    if (std::int64_t(width) * height > kMaxPicturePixels) return TooLarge();
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) return std::unique_ptr<PictureDecoder>();
    const int orientation = JpegExifOrientation(bytes);
    QColorSpace space;
    if (const QByteArray icc = JpegIccProfile(bytes); !icc.isEmpty())
        space = QColorSpace::fromIccProfile(icc);
    return std::unique_ptr<PictureDecoder>(
        std::make_unique<JpegDecoder>(std::move(bytes), QSize(width, height), orientation, std::move(space)));
}

}  // namespace core
