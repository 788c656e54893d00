#include "platform/picture.h"

#include "platform/picture_source.h"

namespace platform {

struct Picture::Holder {
    HBITMAP handle = 0;
    std::shared_ptr<const PictureSource> lazy;  // a loaded picture's decoder and cache
    ~Holder() {
        if (handle) DeleteObject(handle);
    }
};

std::int32_t PixelsToHimetric(std::int32_t pixels) {
    return std::int32_t((std::int64_t(pixels) * 2540 + 95) / 96);
}

float HimetricToPixels(double himetric) { return float(himetric * 96.0 / 2540.0); }

Picture Picture::FromImage(const QImage& image) {
    Picture p;
    if (const HBITMAP h = CreateBitmapFromImage(image)) {
        p.holder_ = std::make_shared<Holder>();
        p.holder_->handle = h;
    }
    return p;
}

Picture Picture::FromSource(std::shared_ptr<const BitmapSource> source) {
    Picture p;
    if (const HBITMAP h = CreateBitmapFromSource(std::move(source))) {
        p.holder_ = std::make_shared<Holder>();
        p.holder_->handle = h;
        p.holder_->lazy = std::dynamic_pointer_cast<const PictureSource>(BitmapSourceOf(h));
    }
    return p;
}

HBITMAP Picture::Handle() const { return holder_ ? holder_->handle : 0; }

QSize Picture::pixelSize() const { return holder_ ? BitmapSize(holder_->handle) : QSize(0, 0); }

std::int32_t Picture::Width() const { return PixelsToHimetric(pixelSize().width()); }

std::int32_t Picture::Height() const { return PixelsToHimetric(pixelSize().height()); }

QImage Picture::pixels(QSize atLeast) const {
    if (!holder_) return {};
    if (holder_->lazy) return holder_->lazy->pixels(atLeast);
    return BitmapImage(holder_->handle);
}

}  // namespace platform
