#pragma once
// Work split over a thread pool that the caller chooses, so that a program running several jobs at once
// can bound the threads they use together.

#include "core/result.h"

#include <QThreadPool>
#include <functional>

namespace core {

// Runs part(i) for every i in [0, parts) and returns when all have ended. The calling thread runs part 0,
// and takes back the parts the pool has not started by then, so that a caller that is itself one of the
// pool's threads never waits for a thread that cannot come. A null pool is Qt's global one. An exception
// escaping a part is caught on its thread and becomes the call's error (CaughtError's); the other parts
// still run, and nothing of the caller's stack is left in use when it returns.
Result<void> ParallelFor(QThreadPool* pool, int parts, const std::function<void(int)>& part);

// The error the exception being handled stands for: out of memory for std::bad_alloc, an internal fault
// naming what() for anything else. Only inside a catch block.
Error CaughtError() noexcept;

}  // namespace core
