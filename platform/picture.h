#pragma once
// The picture object: a bitmap handle plus the picture's physical size in HIMETRIC (1/100 mm).
// Copies share one bitmap, which is deleted when the last copy goes. Its pixels are reached only
// through pixels(), so that how and when a picture is decoded stays in one place.

#include "platform/gdi.h"

#include <QImage>
#include <QSize>
#include <cstdint>
#include <memory>

namespace platform {

// Pixels at 96 per inch to HIMETRIC, rounded up so that the way back never falls short of the pixels.
std::int32_t PixelsToHimetric(std::int32_t pixels);
// HIMETRIC to pixels at 96 per inch, in single precision.
float HimetricToPixels(double himetric);

class Picture {
public:
    Picture() = default;  // the empty picture: handle 0, size 0 x 0
    static Picture FromImage(const QImage& image);
    static Picture FromSource(std::shared_ptr<const BitmapSource> source);

    HBITMAP Handle() const;  // the picture's default value
    bool isEmpty() const { return Handle() == 0; }
    std::int32_t Width() const;   // HIMETRIC
    std::int32_t Height() const;  // HIMETRIC
    QSize pixelSize() const;

    // The picture's pixels; with atLeast given, possibly a smaller version that still covers that size
    // in both directions (never smaller than asked, unless the picture itself is). A loaded picture
    // decodes on demand and keeps what it decoded; a null image when its file data turn out unreadable.
    QImage pixels(QSize atLeast = QSize()) const;

private:
    struct Holder;
    std::shared_ptr<Holder> holder_;
};

// Loads a picture file (JPEG, BMP, GIF, PNG and whatever else Qt reads); an empty path gives the empty
// picture. The size is read from the header and the file checked by one decode at the smallest scale,
// so a bad file fails here: error 53 when there is no such file, 481 when it is no readable picture or
// damaged, 7 when it is larger than the loader's limit (more than 2^28 pixels), 75 when it cannot be
// opened. EXIF orientation is applied and colour profiles converted to sRGB. Loading the same unchanged
// file again while an earlier picture of it is alive shares that picture's decoded pixels.
Picture LoadPicture(const QString& path = QString());
// The same for the windows, which tell the user themselves: any failure gives the empty picture.
Picture LoadPictureOrNone(const QString& path) noexcept;

}  // namespace platform
