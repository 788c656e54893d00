#pragma once
// Name order for the folder and file lists: runs of digits compare as numbers ("foto2" before
// "foto10"), the rest by the locale's collation ignoring case.

#include <QString>

namespace platform {

bool NaturalLess(const QString& a, const QString& b);

}  // namespace platform
