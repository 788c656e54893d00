#pragma once
// The pixels behind a loaded picture: its decoder plus the versions decoded so far, shared by every
// copy of the picture (and by later loads of the same unchanged file), so each scale is decoded once.

#include "core/picture_decoder.h"
#include "core/result.h"

#include <QImage>
#include <QSize>

class QThreadPool;
#include <memory>
#include <mutex>
#include <vector>

namespace core {

class PictureSource {
public:
    explicit PictureSource(std::unique_ptr<PictureDecoder> decoder);
    // Pixels already decoded: the one version, at full size.
    explicit PictureSource(QImage full);

    QSize size() const { return size_; }
    QByteArray exif() const { return exif_; }
    int frames() const { return frames_; }
    // The smallest version that covers atLeast with the decode margin (the full size for an empty
    // request), decoding it if none is cached yet.
    Result<QImage> pixels(QSize atLeast, int margin = kDecodeMargin) const;
    // The versions decoded so far, smallest first.
    std::vector<QSize> cachedSizes() const;
    // The whole picture shrunk to size straight from the file, its rows filtered as they are decoded and
    // not kept; a null image when a decoded version already serves the size or the decoder cannot.
    Result<QImage> Shrink(QSize size, QThreadPool* pool) const;
    // The same, its rows handed to sink as they are finished (PictureDecoder::ShrinkInto); false, with none
    // handed over, when a decoded version already serves or the decoder cannot.
    Result<bool> ShrinkInto(QSize size, QThreadPool* pool, const RowSink& sink) const;

private:
    // The decoder for a shrink to size straight from the file; null when a decoded version serves.
    std::shared_ptr<const PictureDecoder> StreamingDecoder(QSize size) const;

    QSize size_;
    QByteArray exif_;
    int frames_ = 1;
    mutable std::mutex mutex_;
    mutable std::shared_ptr<const PictureDecoder> decoder_;  // dropped once the full size is at hand
    mutable std::vector<QImage> versions_;             // smallest first
};

}  // namespace core
