#pragma once
// File-type lists of the file dialogs ("Resim", "*.bmp;*.jpg", ...) turned into Qt's name filters.

#include <QString>
#include <QStringList>

namespace platform {

// items: description, patterns, description, patterns, ... up to the first empty item; several patterns
// of one pair are separated by ";". Each pair becomes "description (patterns)", every pattern listed in
// its own, lower and upper case, so that "*.jpg" also shows "IMG_0001.JPG"; "*.*" means every file.
QStringList QtNameFilters(const QStringList& items);

}  // namespace platform
