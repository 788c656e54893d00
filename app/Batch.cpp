#include "app/Batch.h"

#include "app/BatchPlan.h"
#include "core/picture.h"
#include "core/resize_file.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace cli {

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

// Ctrl+C and a polite kill stop the batch from taking new pictures; those in flight finish.
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The lines a batch writes to stderr, from any of its threads.
class Report {
public:
    explicit Report(qsizetype total) : total_(total), terminal_(::isatty(STDERR_FILENO) == 1) {}

    void Started(const QString& input) {
        std::lock_guard lock(mutex_);
        ++started_;
        if (terminal_)
            std::fprintf(stderr, "\r\033[K[%lld/%lld] %s", static_cast<long long>(started_),
                         static_cast<long long>(total_), qPrintable(QFileInfo(input).fileName()));
    }
    void Line(const QString& input, const QString& why) {
        std::lock_guard lock(mutex_);
        std::fprintf(stderr, "%s%s: %s\n", terminal_ ? "\r\033[K" : "", qPrintable(input), qPrintable(why));
    }
    void Done() {
        std::lock_guard lock(mutex_);
        if (terminal_) std::fprintf(stderr, "\r\033[K");
    }

private:
    std::mutex mutex_;
    qsizetype total_;
    qsizetype started_ = 0;
    bool terminal_;
};

}  // namespace

int RunBatch(const BatchOptions& options) {
    core::AllowLargeImageReads();
    CatchInterrupts();
    const std::vector<Job> jobs = Plan(options);
    Report report(qsizetype(jobs.size()));
    std::atomic<int> written{0}, skipped{0}, failed{0}, notDone{0};

    QThreadPool pool;
    pool.setMaxThreadCount(options.jobs > 0 ? options.jobs : QThread::idealThreadCount());
    for (const Job& job : jobs) {
        if (job.kind == Job::Kind::Skip) {
            report.Line(job.input, job.note);
            ++skipped;
            continue;
        }
        if (job.kind == Job::Kind::Fail) {
            report.Line(job.input, job.note);
            ++failed;
            continue;
        }
        pool.start([&, job] {
            if (interrupted) {
                ++notDone;
                return;
            }
            report.Started(job.input);
            const QString folder = QFileInfo(job.output).path();
            if (!QDir().mkpath(folder)) {
                report.Line(job.input, QStringLiteral("cannot make the folder '%1'").arg(folder));
                ++failed;
                return;
            }
            const core::Result<core::Resized> done = core::ResizeFile(
                job.input, job.output, {options.box, options.quality, options.keepMetadata, &pool});
            if (done) {
                ++written;
            } else {
                report.Line(job.input, done.error().message);
                ++failed;
            }
        });
    }
    pool.waitForDone();
    report.Done();

    QString summary = QStringLiteral("%1 %2: %3 written, %4 skipped, %5 failed")
                          .arg(jobs.size())
                          .arg(jobs.size() == 1 ? QStringLiteral("picture") : QStringLiteral("pictures"))
                          .arg(written.load())
                          .arg(skipped.load())
                          .arg(failed.load());
    if (interrupted) summary += QStringLiteral(", %1 not done (interrupted)").arg(notDone.load());
    std::fprintf(stderr, "%s\n", qPrintable(summary));
    if (interrupted) return 130;
    return failed > 0 ? 1 : 0;
}

}  // namespace cli
