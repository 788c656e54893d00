#pragma once
// The picture object: the engine's picture plus its physical size in HIMETRIC (1/100 mm) and, made only
// when a stand-in asks for it, a bitmap handle. Copies share one picture and one handle, which is deleted
// when the last copy goes.

#include "core/picture.h"
#include "platform/gdi.h"

#include <QImage>
#include <QSize>
#include <cstdint>
#include <memory>

namespace platform {

// Pixels at 96 per inch to HIMETRIC, rounded up so that the way back never falls short of the pixels;
// in 64 bits, since a side the loader admits may pass 81 million pixels.
std::int64_t PixelsToHimetric(std::int32_t pixels);
// HIMETRIC to pixels at 96 per inch, in single precision.
float HimetricToPixels(double himetric);

class Picture {
public:
    Picture() = default;  // the empty picture: handle 0, size 0 x 0
    static Picture FromImage(const QImage& image);
    explicit Picture(core::Picture picture);

    const core::Picture& core() const;
    HBITMAP Handle() const;  // the picture's default value
    bool isEmpty() const { return !holder_; }
    std::int64_t Width() const;   // HIMETRIC
    std::int64_t Height() const;  // HIMETRIC
    QSize pixelSize() const;

    // The picture's pixels (see core::Picture::pixels); a null image when they turn out unreadable.
    QImage pixels(QSize atLeast = QSize()) const;
    // The pixels for showing the picture at shown pixels (see core::Picture::view).
    QImage view(QSize shown) const;

private:
    struct Holder;
    std::shared_ptr<Holder> holder_;
};

// Loads a picture file (see core::LoadPicture); an empty path gives the empty picture. Failures raise the
// runtime's error of the same number: 53 no such file, 481 no readable picture, 7 too large, 75 no
// readable regular file.
Picture LoadPicture(const QString& path = QString());
// The same for the windows, which tell the user themselves: any failure gives the empty picture.
Picture LoadPictureOrNone(const QString& path) noexcept;

}  // namespace platform
