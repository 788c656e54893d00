#include "batch/run.h"

#include "core/picture.h"
#include "core/resize_file.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>

namespace batch {

Totals Run(const std::vector<Job>& jobs, const Options& options, Observer& observer, const std::atomic<bool>& stop) {
    core::AllowLargeImageReads();
    std::atomic<int> written{0}, skipped{0}, failed{0}, notDone{0};
    std::atomic<qint64> bytesIn{0}, bytesOut{0};
    const auto end = [&](const Job& job, Outcome outcome, const QString& why, const Details& details = {}) {
        switch (outcome) {
            case Outcome::Written: ++written; break;
            case Outcome::Skipped: ++skipped; break;
            case Outcome::Failed: ++failed; break;
            case Outcome::NotDone: ++notDone; break;
        }
        bytesIn += details.bytesIn;
        bytesOut += details.bytesOut;
        observer.EndedWithDetails(job, outcome, why, details);
    };

    QThreadPool pool;
    pool.setMaxThreadCount(options.jobs > 0 ? options.jobs : QThread::idealThreadCount());
    for (const Job& job : jobs) {
        if (job.kind == Job::Kind::Skip) {
            end(job, Outcome::Skipped, job.note);
            continue;
        }
        if (job.kind == Job::Kind::Fail) {
            end(job, Outcome::Failed, job.note);
            continue;
        }
        pool.start([&, job] {
            if (stop) {
                end(job, Outcome::NotDone, {});
                return;
            }
            observer.Started(job);
            const QString folder = QFileInfo(job.output).path();
            if (!QDir().mkpath(folder)) {
                end(job, Outcome::Failed, QStringLiteral("cannot make the folder '%1'").arg(folder),
                    {core::errc::PathFileAccess});
                return;
            }
            const core::Result<core::Resized> done = core::ResizeFile(
                job.input, job.output, {options.box, options.quality, options.keepMetadata, &pool});
            if (done)
                end(job, Outcome::Written, {}, {0, QFileInfo(job.input).size(), QFileInfo(job.output).size()});
            else
                end(job, Outcome::Failed, done.error().message, {done.error().number});
        });
    }
    pool.waitForDone();
    return {written.load(), skipped.load(), failed.load(), notDone.load(), bytesIn.load(), bytesOut.load()};
}

}  // namespace batch
