#pragma once
// A picture drawn at another size, as sharp as the reference photo tools make it: the smallest decoded
// version that still holds the detail (a reduced JPEG decode with a margin), then a three-lobed Lanczos
// filter down to the size; enlarging, rarely asked for, is smooth interpolation.

#include "core/picture.h"
#include "core/result.h"

#include <QColor>
#include <QRect>
#include <QSize>

class QThreadPool;

namespace core {

struct ShrinkOptions {
    QThreadPool* pool = nullptr;       // where the filter's rows run; null: Qt's global pool
    QColor background = Qt::white;     // what transparent parts are laid on; invalid: kept (Format_ARGB32)
    QRect source;                      // the part of the picture to draw; empty: the whole picture
};

// The (part of the) picture stretched over size, each direction on its own, as Format_RGB32. The whole
// picture shrunk, with no decoded version at hand that would do, is filtered as it is decoded, in little
// memory, and nothing of it is kept for later requests. Errors:
// damaged for no picture or pixels that turn out unreadable, invalid size for an empty size or a part
// outside the picture, out of memory.
Result<QImage> ShrinkPicture(const Picture& picture, QSize size, const ShrinkOptions& options = {});

}  // namespace core
