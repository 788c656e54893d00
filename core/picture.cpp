#include "core/picture.h"

#include "core/picture_decoder.h"
#include "core/picture_source.h"

namespace core {

QSize Picture::size() const { return source_ ? source_->size() : QSize(0, 0); }

Result<QImage> Picture::pixels(QSize atLeast) const {
    if (!source_) return Error{Cause::Damaged, QStringLiteral("no picture")};
    return source_->pixels(atLeast);
}

Result<QImage> Picture::view(QSize shown) const {
    if (!source_) return Error{Cause::Damaged, QStringLiteral("no picture")};
    return source_->pixels(shown, kViewMargin);
}

Result<QImage> Picture::shrunkFromFile(QSize size, QThreadPool* pool) const {
    if (!source_) return Error{Cause::Damaged, QStringLiteral("no picture")};
    return source_->Shrink(size, pool);
}

Result<bool> Picture::shrinkFromFileInto(QSize size, const RowSink& sink, QThreadPool* pool) const {
    if (!source_) return Error{Cause::Damaged, QStringLiteral("no picture")};
    return source_->ShrinkInto(size, pool, sink);
}

std::vector<QSize> Picture::decodedSizes() const {
    return source_ ? source_->cachedSizes() : std::vector<QSize>{};
}

QByteArray Picture::exif() const { return source_ ? source_->exif() : QByteArray(); }

int Picture::frames() const { return source_ ? source_->frames() : 1; }

Picture Picture::FromImage(const QImage& image) {
    if (image.isNull()) return {};
    Result<QImage> wide = To32Bit(image);
    if (!wide) return {};
    return FromSource(std::make_shared<const PictureSource>(std::move(*wide)));
}

Picture Picture::FromSource(std::shared_ptr<const PictureSource> source) {
    Picture picture;
    picture.source_ = std::move(source);
    return picture;
}

}  // namespace core
