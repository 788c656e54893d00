#include "app/BatchTerminal.h"

#include "batch/plan.h"
#include "batch/run.h"
#include "core/file_name.h"
#include "core/temporary_files.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace cli {

namespace {

std::atomic<bool> interrupted{false};
bool stderrIsTerminal = false;

void Say(const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, length);
        if (n <= 0) return;
        text += n, length -= std::size_t(n);
    }
}

// The first Ctrl+C stops the batch from taking new pictures, and those in flight finish; a second one, or
// a kill, ends the process at once, since a picture that a library chews on may take a minute. Only what
// a signal handler may call: the temporary files go by their list, the line by write(2).
void OnSignal(int signal) {
    static constexpr char kClear[] = "\r\033[K";
    const std::size_t clear = stderrIsTerminal ? sizeof kClear - 1 : 0;
    if (signal == SIGINT && !interrupted.exchange(true)) {
        static constexpr char kFinishing[] =
            "interrupted: finishing the pictures under way (Ctrl+C again to stop at once)\n";
        Say(kClear, clear);
        Say(kFinishing, sizeof kFinishing - 1);
        return;
    }
    core::TemporaryFiles::RemoveAllNow();
    static constexpr char kStopped[] = "interrupted: stopped at once, the pictures under way not written\n";
    Say(kClear, clear);
    Say(kStopped, sizeof kStopped - 1);
    ::_exit(128 + signal);
}

// A reader of stderr that goes away (`2>&1 | head -1`) costs the lines, never the work.
void CatchSignals() {
    stderrIsTerminal = ::isatty(STDERR_FILENO) == 1;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
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
