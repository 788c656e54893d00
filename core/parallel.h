#pragma once
// Work split over a thread pool that the caller chooses, so that a program running several jobs at once
// can bound the threads they use together.

#include "core/result.h"

#include <QThreadPool>
#include <functional>

namespace core {

// Runs part(i) for every i in [0, parts) and returns when all have run. The calling thread takes a share;
// parts the pool has not started by then are taken back and run here, so a caller that is itself one of
// the pool's threads never waits for a thread that cannot come. A null pool is Qt's global one. Out of
// memory when memory ran out (std::bad_alloc) in any part; the other parts still run.
Result<void> ParallelFor(QThreadPool* pool, int parts, const std::function<void(int)>& part);

}  // namespace core
