#include "platform/picture.h"

#include "platform/runtime.h"

#include <mutex>
#include <new>

namespace platform {

namespace {

// A bitmap whose pixels are the engine picture's, decoded only when a transfer reads them.
class PictureBitmap final : public BitmapSource {
public:
    explicit PictureBitmap(core::Picture picture) : picture_(std::move(picture)) {}
    QSize size() const override { return picture_.size(); }
    QImage image() const override {
        const core::Result<QImage> pixels = picture_.pixels();
        return pixels ? *pixels : QImage();
    }

private:
    core::Picture picture_;
};

}  // namespace

struct Picture::Holder {
    core::Picture picture;
    std::once_flag madeHandle;
    HBITMAP handle = 0;
    ~Holder() {
        if (handle) DeleteObject(handle);
    }
};

std::int64_t PixelsToHimetric(std::int32_t pixels) {
    return (std::int64_t(pixels) * 2540 + 95) / 96;
}

float HimetricToPixels(double himetric) { return float(himetric * 96.0 / 2540.0); }

Picture::Picture(core::Picture picture) {
    if (picture.isNull()) return;
    holder_ = std::make_shared<Holder>();
    holder_->picture = std::move(picture);
}

Picture Picture::FromImage(const QImage& image) {
    if (image.isNull()) return {};
    return Picture(core::Picture::FromImage(image));
}

const core::Picture& Picture::core() const {
    static const core::Picture none;
    return holder_ ? holder_->picture : none;
}

HBITMAP Picture::Handle() const {
    if (!holder_) return 0;
    Holder& h = *holder_;
    std::call_once(h.madeHandle, [&h] { h.handle = CreateBitmapFromSource(std::make_shared<PictureBitmap>(h.picture)); });
    return h.handle;
}

QSize Picture::pixelSize() const { return core().size(); }

std::int64_t Picture::Width() const { return PixelsToHimetric(pixelSize().width()); }

std::int64_t Picture::Height() const { return PixelsToHimetric(pixelSize().height()); }

QImage Picture::view(QSize shown) const {
    const core::Result<QImage> pixels = core().view(shown);
    return pixels ? *pixels : QImage();
}

QImage Picture::pixels(QSize atLeast) const {
    const core::Result<QImage> pixels = core().pixels(atLeast);
    return pixels ? *pixels : QImage();
}

Picture LoadPicture(const QString& path) {
    if (path.isEmpty()) return {};
    core::Result<core::Picture> loaded = core::LoadPicture(path);
    if (!loaded) Raise(RuntimeErrorNumber(loaded.error().cause));
    return Picture(std::move(*loaded));
}

Picture LoadPictureOrNone(const QString& path) noexcept {
    if (path.isEmpty()) return {};
    try {
        core::Result<core::Picture> loaded = core::LoadPicture(path);
        if (loaded) return Picture(std::move(*loaded));
    } catch (...) {  // memory running out, or a fault of the program's own: no picture either way
    }
    return {};
}

}  // namespace platform
