// Running a batch: pictures are taken up only as far as the memory budget allows, however many jobs
// are allowed; every picture still ends written.

#include "batch/plan.h"
#include "batch/run.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <algorithm>
#include <mutex>

namespace {

// Counts the pictures in flight at once.
class Overlap final : public batch::Observer {
public:
    void Started(const batch::Job&) override {
        std::lock_guard lock(mutex_);
        most_ = std::max(most_, ++now_);
    }
    void Ended(const batch::Job&, batch::Outcome, const QString&, const batch::Details&) override {
        std::lock_guard lock(mutex_);
        --now_;
    }
    int most() const { return most_; }

private:
    std::mutex mutex_;
    int now_ = 0, most_ = 0;
};

struct BudgetCase {
    std::int64_t budget;
    int mostAtOnce;  // the most pictures that may be in flight together
};

class MemoryBudget : public ::testing::TestWithParam<BudgetCase> {};

}  // namespace

TEST_P(MemoryBudget, BoundsThePicturesInFlight) {
    QTemporaryDir dir;
    for (int i = 0; i < 6; ++i)
        testpics::Save(testpics::Noise(1200, 900, std::uint32_t(i + 1)), dir.filePath(QStringLiteral("in%1.jpg").arg(i)));
    batch::Options options;
    options.box = QSize(300, 300);
    options.jobs = 6;
    options.memoryBudget = GetParam().budget;
    options.paths = {dir.path()};
    const std::vector<batch::Job> jobs = batch::Plan(options);
    ASSERT_EQ(jobs.size(), 6u);
    Overlap overlap;
    const std::atomic<bool> stop{false};
    const batch::Totals totals = batch::Run(jobs, options, overlap, stop);
    EXPECT_EQ(totals.written, 6);
    EXPECT_LE(overlap.most(), GetParam().mostAtOnce);
}

// A budget below one picture's need runs them one by one, whatever --jobs allows.
INSTANTIATE_TEST_SUITE_P(Budgets, MemoryBudget, ::testing::Values(BudgetCase{1, 1}, BudgetCase{1 << 20, 1}));
