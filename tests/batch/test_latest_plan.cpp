// Plans asked for one after another: only the newest is handed over.
#include "batch/latest_plan.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <condition_variable>
#include <mutex>

TEST(LatestPlan, OnlyTheNewestPlanIsHandedOver) {
    QTemporaryDir dir;
    for (int i = 0; i < 300; ++i) testfiles::WriteBytes(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), "x");
    std::mutex mutex;
    std::condition_variable came;
    std::vector<std::pair<std::uint64_t, std::size_t>> handed;
    batch::LatestPlan planner([&](std::uint64_t request, std::vector<batch::Job> jobs) {
        std::lock_guard lock(mutex);
        handed.emplace_back(request, jobs.size());
        came.notify_all();
    });
    batch::Options options;
    options.box = QSize(10, 10);
    options.paths = {dir.path()};
    std::uint64_t last = 0;
    for (int i = 0; i < 20; ++i) last = planner.Request(options);
    options.paths = {dir.filePath("p1.jpg")};
    last = planner.Request(options);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(came.wait_for(lock, std::chrono::seconds(30), [&] { return !handed.empty() && handed.back().first == last; }));
    for (const auto& [request, size] : handed) EXPECT_TRUE(request == last || size == 300u) << request;
    EXPECT_EQ(handed.back().second, 1u);
}
