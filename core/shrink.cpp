#include "core/shrink.h"

#include "core/lanczos_shrink.h"
#include "core/picture_decoder.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace core {

namespace {

// What a destination of dest pixels needs of a part of part pixels out of a whole of whole pixels.
int Needed(int dest, int whole, int part) {
    return int(std::min<double>(whole, std::ceil(double(dest) * whole / part)));
}

// A shrunk picture with transparency as asked: kept (straight alpha) without a background, laid on it
// otherwise; RGB32 without transparency.
Result<QImage> WithBackground(QImage part, const QColor& background) {
    if (part.hasAlphaChannel() && !background.isValid()) {
        part = part.convertToFormat(QImage::Format_ARGB32);
        if (part.isNull()) return NoMemory();
        return part;
    }
    if (part.hasAlphaChannel()) {
        QImage flat(part.size(), QImage::Format_RGB32);
        if (flat.isNull()) return NoMemory();
        flat.fill(background);
        QPainter painter(&flat);
        painter.drawImage(0, 0, part);
        painter.end();
        return flat;
    }
    return part.format() == QImage::Format_RGB32 ? part : part.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

Result<QImage> ShrinkPicture(const Picture& picture, QSize size, const ShrinkOptions& options) {
    if (picture.isNull()) return Error{Cause::Damaged, QStringLiteral("no picture")};
    if (size.isEmpty()) return Error{Cause::InvalidSize, QStringLiteral("no size to draw into")};
    const QSize full = picture.size();
    const QRect whole(QPoint(0, 0), full);
    const QRect source = options.source.isNull() ? whole : options.source & whole;
    if (source.isEmpty()) return Error{Cause::InvalidSize, QStringLiteral("nothing of the picture to draw")};

    // The whole picture into a smaller size: straight from the file when its decoder can, rows filtered as
    // they come on two threads, which is faster than decoding it whole first and holds a small part of it.
    if (source == whole && Covers(full, size)) {
        Result<QImage> streamed = picture.shrunkFromFile(size, options.pool);
        if (!streamed) return streamed;
        if (!streamed->isNull()) return WithBackground(std::move(*streamed), options.background);
    }

    // Ask only for the detail the destination can show: a large file is then decoded at a reduced scale.
    // HEIF (libheif gives neither rows nor reduced scales) and TIFF come whole, within the decode budget.
    const Result<QImage> pixels = picture.pixels(QSize(Needed(size.width(), full.width(), source.width()),
                                                       Needed(size.height(), full.height(), source.height())));
    if (!pixels) return pixels.error();

    // The source rectangle in the pixels at hand, which may be a reduced version of the picture.
    const double fx = double(pixels->width()) / full.width(), fy = double(pixels->height()) / full.height();
    const int left = int(std::lround(source.left() * fx)), top = int(std::lround(source.top() * fy));
    const int right = std::max(left + 1, int(std::lround((source.left() + source.width()) * fx)));
    const int bottom = std::max(top + 1, int(std::lround((source.top() + source.height()) * fy)));
    const QRect wanted(left, top, right - left, bottom - top);
    // The whole picture needs no copy: QImage shares its pixels until one side writes.
    QImage part = wanted == pixels->rect() ? *pixels : pixels->copy(wanted);
    if (part.isNull()) return NoMemory();

    if (part.size() != size) {
        // Premultiplied, so that transparent pixels lend no colour to their neighbours.
        part = part.convertToFormat(part.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                            : QImage::Format_RGB32);
        if (part.width() >= size.width() && part.height() >= size.height()) {
            Result<QImage> shrunk = LanczosShrink(part, size, options.pool);
            if (!shrunk) return shrunk;
            part = std::move(*shrunk);
        } else {
            part = part.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        if (part.isNull()) return NoMemory();
    }
    return WithBackground(std::move(part), options.background);
}

}  // namespace core
