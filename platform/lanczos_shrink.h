#pragma once
// Shrinking a 32-bit picture with a three-lobed Lanczos filter, as sharp as the reference photo tools
// are; box averaging leaves a shrunk photo visibly softer.

#include <QImage>
#include <QSize>

namespace platform {

// image (Format_RGB32 or Format_ARGB32_Premultiplied) shrunk to size, which must be no larger in either
// direction; a null image when memory runs out. Edges take only pixels inside the picture, mirrored, so
// a flat picture stays flat to the last row.
QImage LanczosShrink(const QImage& image, QSize size);

}  // namespace platform
