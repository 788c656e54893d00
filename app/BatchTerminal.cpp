#include "app/BatchTerminal.h"

#include "batch/plan.h"
#include "batch/run.h"
#include "core/file_name.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace cli {

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

// Ctrl+C and a polite kill stop the batch from taking new pictures; those in flight finish. A reader of
// stderr that goes away (`2>&1 | head -1`) costs the lines, never the work.
void CatchSignals() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// A name as a terminal may show it: its own bytes, control characters and bytes that are not text escaped.
QByteArray Printable(const batch::Job& job) {
    const QString name = job.inputPath.isEmpty() ? job.input : core::DecodeFileName(job.inputPath);
    return core::PrintableFileName(name).toUtf8();
}

// The lines a batch writes to stderr, from any of its threads.
class Report final : public batch::Observer {
public:
    explicit Report(qsizetype total) : total_(total), terminal_(::isatty(STDERR_FILENO) == 1) {}

    void Started(const batch::Job& job) override {
        std::lock_guard lock(mutex_);
        ++started_;
        const QByteArray name = Printable(job);
        if (terminal_)
            std::fprintf(stderr, "\r\033[K[%lld/%lld] %s", static_cast<long long>(started_),
                         static_cast<long long>(total_), name.mid(name.lastIndexOf('/') + 1).constData());
    }
    void Ended(const batch::Job& job, batch::Outcome outcome, const QString& why, const batch::Details&) override {
        if (outcome == batch::Outcome::NotDone || (outcome == batch::Outcome::Written && why.isEmpty())) return;
        std::lock_guard lock(mutex_);
        // The reasons quote names too.
        std::fprintf(stderr, "%s%s: %s\n", terminal_ ? "\r\033[K" : "", Printable(job).constData(),
                     core::PrintableFileName(why).toUtf8().constData());
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

int RunBatch(const batch::Options& options) {
    CatchSignals();
    const std::vector<batch::Job> jobs = batch::Plan(options);
    Report report(qsizetype(jobs.size()));
    const batch::Totals totals = batch::Run(jobs, options, report, interrupted);
    report.Done();

    // With --max-size, how many of those written had to give up quality or pixels for it.
    const QString fitted =
        options.maxBytes > 0 ? QStringLiteral(" (%1 made to fit --max-size)").arg(totals.fitted) : QString();
    QString summary = QStringLiteral("%1 %2: %3 written%4, %5 skipped, %6 failed")
                          .arg(jobs.size())
                          .arg(jobs.size() == 1 ? QStringLiteral("picture") : QStringLiteral("pictures"))
                          .arg(totals.written)
                          .arg(fitted)
                          .arg(totals.skipped)
                          .arg(totals.failed);
    if (interrupted) summary += QStringLiteral(", %1 not done (interrupted)").arg(totals.notDone);
    std::fprintf(stderr, "%s\n", qPrintable(summary));
    if (interrupted) return 130;
    return totals.failed > 0 ? 1 : 0;
}

}  // namespace cli
