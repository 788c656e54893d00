// ParallelFor: an exception in any part, on any thread, comes back to the caller as an error (7 for memory
// running out) instead of ending the process, after every other part has run.
#include "core/parallel.h"

#include <gtest/gtest.h>
#include <QThreadPool>
#include <atomic>
#include <new>
#include <stdexcept>
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

namespace {

enum class Thrown { BadAlloc, Runtime, Other };

struct ThrowCase {
    const char* name;
    int thrower;  // 0 runs on the calling thread
    Thrown what;
    core::Cause error;
    const char* words;
};

class ParallelForThrows : public ::testing::TestWithParam<ThrowCase> {};

}  // namespace

// Whatever a part throws, on whichever thread, the call returns its error only after every other part has
// ended: none is left using the caller's stack.
TEST_P(ParallelForThrows, TheErrorComesBackAfterEveryOtherPartEnded) {
    const ThrowCase& c = GetParam();
    QThreadPool pool;
    pool.setMaxThreadCount(2);
    std::atomic<bool> thrown = false;
    std::atomic<int> finished = 0;
    const core::Result<void> done = core::ParallelFor(&pool, 3, [&](int i) {
        if (i == c.thrower) {
            thrown = true;
            if (c.what == Thrown::BadAlloc) throw std::bad_alloc();
            if (c.what == Thrown::Runtime) throw std::runtime_error("a part's own fault");
            throw 42;
        }
        for (int wait = 0; !thrown && wait < 2000; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++finished;
    });
    EXPECT_EQ(finished, 2);
    ASSERT_FALSE(done.ok());
    EXPECT_EQ(done.error().cause, c.error);
    EXPECT_TRUE(done.error().detail.contains(QLatin1String(c.words))) << done.error().detail.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Parts, ParallelForThrows,
    ::testing::Values(ThrowCase{"callerRunsOutOfMemory", 0, Thrown::BadAlloc, core::Cause::OutOfMemory, "out of memory"},
                      ThrowCase{"callerFaults", 0, Thrown::Runtime, core::Cause::Internal, "a part's own fault"},
                      ThrowCase{"poolThreadFaults", 1, Thrown::Runtime, core::Cause::Internal, "a part's own fault"},
                      ThrowCase{"poolThreadThrowsSomethingElse", 2, Thrown::Other, core::Cause::Internal, "internal error"}),
    [](const ::testing::TestParamInfo<ThrowCase>& info) { return std::string(info.param.name); });
