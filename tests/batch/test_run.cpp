// Running a batch: pictures are taken up only as far as the memory budget allows, however many jobs
// are allowed; every picture still ends written.

#include "batch/plan.h"
#include "batch/run.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <malloc.h>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>

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

namespace {

// Each picture's outcome and reason, as "name outcome reason" lines.
class Outcomes final : public batch::Observer {
public:
    void Ended(const batch::Job& job, batch::Outcome outcome, const QString& why, const batch::Details&) override {
        std::lock_guard lock(mutex_);
        lines_ += QStringLiteral("%1 %2 %3\n").arg(job.input).arg(int(outcome)).arg(why).toStdString();
    }
    std::string lines() const { return lines_; }

private:
    std::mutex mutex_;
    std::string lines_;
};

// The address space this process takes now, in bytes.
long AddressSpace() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    statm >> pages;
    return pages * ::sysconf(_SC_PAGESIZE);
}

}  // namespace

// A file whose bytes cannot be allocated fails alone with "out of memory", and the batch goes on: in a
// child whose address space leaves room for the threads and a small picture, not for a 60 MB file.
TEST(BatchRun, AFileTooLargeForTheMemoryLeftFailsAloneAndTheBatchGoesOn) {
#ifdef TORV_SANITIZED_BUILD
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: no limit on it leaves room to run";
#endif
    QTemporaryDir dir;
    testpics::Save(testpics::Noise(640, 480), dir.filePath(QStringLiteral("a.jpg")));
    // A picture with 60 MB after it, which the loader reads whole; sparse, so it takes no disk.
    QFile big(testpics::Save(testpics::Noise(640, 480, 2), dir.filePath(QStringLiteral("b.jpg"))));
    ASSERT_TRUE(big.open(QIODevice::ReadWrite) && big.resize(big.size() + (60 << 20)));
    big.close();
    batch::Options options;
    options.box = QSize(300, 300);
    options.jobs = 1;
    options.paths = {dir.path()};
    const std::vector<batch::Job> jobs = batch::Plan(options);
    ASSERT_EQ(jobs.size(), 2u);
    const testchild::Outcome outcome = testchild::RunInChild([&](std::string& report) {
        // One heap for all threads: each thread's own would reserve 64 MB of address space.
        mallopt(M_ARENA_MAX, 1);
        const rlimit limit{rlim_t(AddressSpace() + (40 << 20)), RLIM_INFINITY};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) return testchild::kSetupFailed;
        Outcomes outcomes;
        const std::atomic<bool> stop{false};
        const batch::Totals totals = batch::Run(jobs, options, outcomes, stop);
        report = outcomes.lines();
        return totals.written == 1 && totals.failed == 1 ? 0 : 1;
    });
    ASSERT_TRUE(outcome.exited) << "signal " << outcome.signal;
    EXPECT_EQ(outcome.exitCode, 0) << outcome.report;
    EXPECT_NE(outcome.report.find("a.jpg 0"), std::string::npos) << outcome.report;
    EXPECT_NE(outcome.report.find("b.jpg 2 out of memory"), std::string::npos) << outcome.report;
}
