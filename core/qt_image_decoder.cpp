// Every format but plain JPEG through Qt's image reader: BMP, GIF (first frame), PNG, CMYK JPEG, ...

#include "core/icc_profile.h"
#include "core/picture_decoder.h"

#include <QBuffer>
#include <QImageReader>
#include <cmath>

namespace core {

namespace {

struct Reader {
    QByteArray bytes;
    QBuffer buffer{&bytes};
    QImageReader reader;

    explicit Reader(const QByteArray& data) : bytes(data) {
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setDecideFormatFromContent(true);
        reader.setAutoTransform(true);
    }
};

class QtImageDecoder final : public PictureDecoder {
public:
    QtImageDecoder(QByteArray bytes, QSize size, bool scalable)
        : bytes_(std::move(bytes)), size_(size), scalable_(scalable) {}

    QSize size() const override { return size_; }

    Result<QImage> Decode(QSize target) const override {
        Reader r(bytes_);
        QSize expected = size_;
        if (scalable_ && size_.isValid() && target.isValid() && !Covers(target, size_)) {
            // The plugin scales while decoding; keep the proportions and cover the target, at most 1/8.
            const double f = std::max(
                {double(target.width()) / size_.width(), double(target.height()) / size_.height(), 0.125});
            expected = QSize(int(std::ceil(size_.width() * f)), int(std::ceil(size_.height() * f)));
            QSize scaled = expected;
            if (r.reader.transformation() & QImageIOHandler::TransformationRotate90) scaled.transpose();
            r.reader.setScaledSize(scaled);
        }
        QImage image = r.reader.read();
        if (image.isNull()) return NotAPicture();
        // A header that promised another size than the data gives (a GIF's frame outside its screen, say)
        // marks a damaged file; the picture's size must hold for every decode.
        if (expected.isValid() && image.size() != expected) return NotAPicture();
        Result<QImage> wide = To32Bit(image);
        if (!wide) return wide;
        return ToSrgb(std::move(*wide), image.colorSpace());
    }

private:
    QByteArray bytes_;
    QSize size_;
    bool scalable_;
};

}  // namespace

Result<std::unique_ptr<PictureDecoder>> OpenQtImageDecoder(QByteArray bytes) {
    Reader r(bytes);
    if (!r.reader.canRead()) return NotAPicture();
    QSize size = r.reader.size();
    if (size.isValid()) {
        if (size.isEmpty()) return NotAPicture();
        if (std::int64_t(size.width()) * size.height() > kMaxPicturePixels) return TooLarge();
        if (r.reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
    }
    if (!size.isValid()) {
        // A format that tells its size only by decoding: decode once to learn it (Qt's limit guards),
        // unless the bytes are already too few for what the header claims.
        if (!PixelDataCanFit(bytes)) return NotAPicture();
        const Result<QImage> whole = QtImageDecoder(bytes, QSize(), false).Decode(QSize());
        if (!whole) return whole.error();
        size = whole->size();
    }
    const bool scalable = r.reader.supportsOption(QImageIOHandler::ScaledSize);
    return std::unique_ptr<PictureDecoder>(std::make_unique<QtImageDecoder>(std::move(bytes), size, scalable));
}

}  // namespace core
