#pragma once
// The pixels behind a loaded picture: its decoder plus the versions decoded so far, shared by every
// copy of the picture (and by later loads of the same unchanged file), so each scale is decoded once.

#include "platform/gdi.h"
#include "platform/picture_decoder.h"

#include <QImage>
#include <QSize>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class PictureSource final : public BitmapSource {
public:
    explicit PictureSource(std::unique_ptr<PictureDecoder> decoder);

    QSize size() const override { return size_; }
    QImage image() const override { return pixels(QSize()); }

    // The smallest version that covers atLeast with the decode margin (the full size for an empty
    // request), decoding it if none is cached yet; null when it cannot be decoded.
    QImage pixels(QSize atLeast) const;
    // As pixels(), but a failure raises the decoder's error: the loader's validating decode.
    QImage Decode(QSize atLeast) const;
    // The versions decoded so far, smallest first.
    std::vector<QSize> cachedSizes() const;

private:
    QSize size_;
    mutable std::mutex mutex_;
    mutable std::unique_ptr<PictureDecoder> decoder_;  // dropped once the full size is at hand
    mutable std::vector<QImage> versions_;             // smallest first
};

}  // namespace platform
