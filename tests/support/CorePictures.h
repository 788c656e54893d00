#pragma once
// Shorthands for tests of the engine's pictures: a failure to load is a test failure with its message.

#include "core/picture.h"

#include <QImage>
#include <QString>

namespace testcore {

// The picture of a file; a test failure and the null picture when it does not load.
core::Picture Load(const QString& path);
// The pixels covering atLeast (all of them by default); a null image when they cannot be had.
QImage Pixels(const core::Picture& picture, QSize atLeast = QSize());
// The error number loading the file gives; 0 when it loads.
int LoadError(const QString& path);

}  // namespace testcore
