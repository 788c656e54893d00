#include "platform/picture_source.h"

#include "platform/runtime.h"

#include <algorithm>

namespace platform {

PictureSource::PictureSource(std::unique_ptr<PictureDecoder> decoder)
    : size_(decoder->size()), decoder_(std::move(decoder)) {}

QImage PictureSource::Decode(QSize atLeast) const {
    const QSize target = DecodeTarget(atLeast, size_);
    std::lock_guard lock(mutex_);
    // Held while decoding, so that two readers asking at once share one decode.
    for (const QImage& version : versions_) {
        if (Covers(version.size(), target)) return version;
    }
    if (!decoder_) Raise(err::InvalidPicture);
    QImage decoded = decoder_->Decode(target);
    if (decoded.isNull()) Raise(err::InvalidPicture);
    const auto at = std::find_if(versions_.begin(), versions_.end(),
                                 [&](const QImage& v) { return v.width() > decoded.width(); });
    versions_.insert(at, decoded);
    if (decoded.size() == size_) {
        // The full size covers every request: the decoder and the file's bytes are no longer needed.
        decoder_.reset();
    }
    return decoded;
}

QImage PictureSource::pixels(QSize atLeast) const {
    try {
        return Decode(atLeast);
    } catch (const RuntimeError&) {
        return {};
    }
}

std::vector<QSize> PictureSource::cachedSizes() const {
    std::lock_guard lock(mutex_);
    std::vector<QSize> sizes;
    for (const QImage& version : versions_) sizes.push_back(version.size());
    return sizes;
}

}  // namespace platform
