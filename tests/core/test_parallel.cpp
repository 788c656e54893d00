// ParallelFor: memory running out in a pool thread comes back to the caller as error 7 instead of
// ending the process, after every other part has run.
#include "core/parallel.h"

#include <gtest/gtest.h>
#include <QThreadPool>
#include <atomic>
#include <new>
#include <thread>

TEST(ParallelFor, OutOfMemoryInAPoolThreadIsOutOfMemoryForTheCaller) {
    QThreadPool pool;
    pool.setMaxThreadCount(2);
    std::atomic<int> started = 0, finished = 0;
    const core::Result<void> done = core::ParallelFor(&pool, 4, [&](int i) {
        // Part 0 waits (up to 2 s) for the pool to take two parts, so that those throw on its threads.
        for (int wait = 0; i == 0 && started < 2 && wait < 2000; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (i != 0 && ++started <= 2) throw std::bad_alloc();
        ++finished;
    });
    ASSERT_FALSE(done.ok());
    EXPECT_EQ(done.error().cause, core::Cause::OutOfMemory);
    EXPECT_EQ(finished, 2);  // part 0 and the part the pool had no thread for
}
