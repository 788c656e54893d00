#pragma once
// Shrinking a 32-bit picture with a three-lobed Lanczos filter, as sharp as the reference photo tools
// are; box averaging leaves a shrunk photo visibly softer.

#include "core/result.h"

#include <QImage>
#include <QSize>

class QThreadPool;

namespace core {

// image (Format_RGB32 or Format_ARGB32_Premultiplied) shrunk to size, which must be no larger in either
// direction. Edges take only pixels inside the picture, mirrored, so a flat picture stays flat to the last
// row. Rows are shared out over pool (null: Qt's global pool); the pixels do not depend on how.
Result<QImage> LanczosShrink(const QImage& image, QSize size, QThreadPool* pool = nullptr);

}  // namespace core
