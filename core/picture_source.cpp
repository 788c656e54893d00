#include "core/picture_source.h"

#include <algorithm>

namespace core {

PictureSource::PictureSource(std::unique_ptr<PictureDecoder> decoder)
    : size_(decoder->size()),
      exif_(decoder->exif()),
      frames_(decoder->frames()),
      decoder_(std::move(decoder)) {}

PictureSource::PictureSource(QImage full) : size_(full.size()), versions_{std::move(full)} {}

Result<QImage> PictureSource::pixels(QSize atLeast, int margin) const {
    const QSize target = DecodeTarget(atLeast, size_, margin);
    // Held while decoding, so that two readers asking at once share one decode. The lock is this
    // picture's own: other pictures go on meanwhile.
    std::lock_guard lock(mutex_);
    for (const QImage& version : versions_) {
        if (Covers(version.size(), target)) return version;
    }
    if (!decoder_) return NotAPicture();
    Result<QImage> decoded = decoder_->Decode(target);
    if (!decoded) return decoded;
    if (decoded->isNull()) return NoMemory();
    const auto at = std::find_if(versions_.begin(), versions_.end(),
                                 [&](const QImage& v) { return v.width() > decoded->width(); });
    versions_.insert(at, *decoded);
    if (decoded->size() == size_) {
        // The full size covers every request: the decoder and the file's bytes are no longer needed.
        decoder_.reset();
    }
    return decoded;
}

std::shared_ptr<const PictureDecoder> PictureSource::StreamingDecoder(QSize size) const {
    std::lock_guard lock(mutex_);
    const QSize target = DecodeTarget(size, size_);
    for (const QImage& version : versions_) {
        if (Covers(version.size(), target)) return nullptr;
    }
    return decoder_;
}

// Not under the lock: the stream keeps nothing here, and views of the picture go on meanwhile.
Result<QImage> PictureSource::Shrink(QSize size, QThreadPool* pool) const {
    const std::shared_ptr<const PictureDecoder> decoder = StreamingDecoder(size);
    return decoder ? decoder->Shrink(size, pool) : QImage();
}

Result<bool> PictureSource::ShrinkInto(QSize size, QThreadPool* pool, const RowSink& sink) const {
    const std::shared_ptr<const PictureDecoder> decoder = StreamingDecoder(size);
    return decoder ? decoder->ShrinkInto(size, pool, sink) : false;
}

std::vector<QSize> PictureSource::cachedSizes() const {
    std::lock_guard lock(mutex_);
    std::vector<QSize> sizes;
    for (const QImage& version : versions_) sizes.push_back(version.size());
    return sizes;
}

}  // namespace core
