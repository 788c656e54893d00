// Every format but plain JPEG through Qt's image reader: BMP, GIF (first frame), PNG, CMYK JPEG, ...

#include "platform/icc_profile.h"
#include "platform/picture_decoder.h"
#include "platform/runtime.h"

#include <QBuffer>
#include <QImageReader>
#include <cmath>

namespace platform {

namespace {

// Room for the largest accepted picture even at 64 bits a pixel (16-bit PNG); our own limit comes first.
constexpr int kReaderAllocationLimitMb = int(kMaxPicturePixels * 8 / (1024 * 1024));

struct Reader {
    QByteArray bytes;
    QBuffer buffer{&bytes};
    QImageReader reader;

    explicit Reader(const QByteArray& data) : bytes(data) {
        QImageReader::setAllocationLimit(kReaderAllocationLimitMb);
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

    QImage Decode(QSize target) const override {
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
        if (image.isNull()) Raise(err::InvalidPicture);
        // A header that promised another size than the data gives (a GIF's frame outside its screen, say)
        // marks a damaged file; the picture's size must hold for every decode.
        if (expected.isValid() && image.size() != expected) Raise(err::InvalidPicture);
        return ToSrgb(To32Bit(image), image.colorSpace());
    }

private:
    QByteArray bytes_;
    QSize size_;
    bool scalable_;
};

}  // namespace

std::unique_ptr<PictureDecoder> OpenQtImageDecoder(QByteArray bytes) {
    Reader r(bytes);
    if (!r.reader.canRead()) Raise(err::InvalidPicture);
    QSize size = r.reader.size();
    if (size.isValid()) {
        if (size.isEmpty()) Raise(err::InvalidPicture);
        if (std::int64_t(size.width()) * size.height() > kMaxPicturePixels) Raise(err::OutOfMemory);
        if (r.reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
    }
    if (!size.isValid()) {
        // A format that tells its size only by decoding: decode once to learn it (Qt's limit guards),
        // unless the bytes are already too few for what the header claims.
        if (!PixelDataCanFit(bytes)) Raise(err::InvalidPicture);
        size = QtImageDecoder(bytes, QSize(), false).Decode(QSize()).size();
    }
    const bool scalable = r.reader.supportsOption(QImageIOHandler::ScaledSize);
    auto decoder = std::make_unique<QtImageDecoder>(std::move(bytes), size, scalable);
    return decoder;
}

}  // namespace platform
