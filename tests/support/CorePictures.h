#pragma once
// Shorthands for tests of the engine's pictures: a failure to load is a test failure with its message.

#include "core/picture.h"

#include <QImage>
#include <QString>
#include <optional>
#include <ostream>

namespace testcore {

// The picture of a file; a test failure and the null picture when it does not load.
core::Picture Load(const QString& path);
// The pixels covering atLeast (all of them by default); a null image when they cannot be had.
QImage Pixels(const core::Picture& picture, QSize atLeast = QSize());
// The cause of the failure loading the file gives; none when it loads.
std::optional<core::Cause> LoadError(const QString& path);

}  // namespace testcore

namespace core {
// Causes by name in test failures.
void PrintTo(Cause cause, std::ostream* out);
}  // namespace core
