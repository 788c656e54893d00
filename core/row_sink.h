#pragma once
// Where a shrink hands its result's rows as it finishes them, so that the result need not be held whole.

#include "core/result.h"

#include <QImage>
#include <functional>

namespace core {

// Takes rows a band at a time and top to bottom, as Format_RGB32 valid only during the call; an error stops
// the shrink with it.
using RowSink = std::function<Result<void>(const QImage& rows)>;

}  // namespace core
