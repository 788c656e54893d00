#include "batch/run.h"

#include "core/picture.h"
#include "core/resize_file.h"
#include "core/resize_memory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace batch {

std::int64_t DefaultMemoryBudget() {
    constexpr std::int64_t kMiB = 1 << 20;
    std::int64_t available = 1024 * kMiB;
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        for (QByteArray line = meminfo.readLine(); !line.isEmpty(); line = meminfo.readLine()) {
            if (!line.startsWith("MemAvailable:")) continue;
            bool ok = false;
            const std::int64_t kib = line.mid(13).trimmed().split(' ').value(0).toLongLong(&ok);
            if (ok) available = kib * 1024;
        }
    }
    return std::clamp(available / 2, 64 * kMiB, 768 * kMiB);
}

Totals Run(const std::vector<Job>& jobs, const Options& options, Observer& observer, const std::atomic<bool>& stop) {
    core::AllowLargeImageReads();
    std::atomic<int> written{0}, skipped{0}, failed{0}, notDone{0};
    const auto end = [&](const Job& job, Outcome outcome, const QString& why) {
        switch (outcome) {
            case Outcome::Written: ++written; break;
            case Outcome::Skipped: ++skipped; break;
            case Outcome::Failed: ++failed; break;
            case Outcome::NotDone: ++notDone; break;
        }
        observer.Ended(job, outcome, why);
    };

    // Pictures in flight are bounded by jobs; the pool has a thread for each core besides, so that a
    // picture's own parts (decoding beside filtering, bands of rows) use cores that no picture does.
    const int most = options.jobs > 0 ? options.jobs : QThread::idealThreadCount();
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(most, QThread::idealThreadCount()));
    const std::int64_t budget = options.memoryBudget > 0 ? options.memoryBudget : DefaultMemoryBudget();
    std::mutex mutex;
    std::condition_variable freed;
    std::int64_t inFlight = 0;  // bytes admitted and not yet given back
    int running = 0;            // pictures admitted and not yet ended
    for (const Job& job : jobs) {
        if (job.kind == Job::Kind::Skip) {
            end(job, Outcome::Skipped, job.note);
            continue;
        }
        if (job.kind == Job::Kind::Fail) {
            end(job, Outcome::Failed, job.note);
            continue;
        }
        const std::int64_t need = std::min(core::ResizeMemory(job.input, options.box), budget);
        {
            std::unique_lock lock(mutex);
            // Woken when a picture ends; stop is set from elsewhere without a word, so look now and then.
            while (!stop && (inFlight + need > budget || running >= most))
                freed.wait_for(lock, std::chrono::milliseconds(50));
            inFlight += need;
            ++running;
        }
        pool.start([&, job, need] {
            struct GiveBack {
                std::mutex& mutex;
                std::condition_variable& freed;
                std::int64_t& inFlight;
                int& running;
                std::int64_t need;
                ~GiveBack() {
                    {
                        std::lock_guard lock(mutex);
                        inFlight -= need;
                        --running;
                    }
                    freed.notify_all();
                }
            } giveBack{mutex, freed, inFlight, running, need};
            if (stop) {
                end(job, Outcome::NotDone, {});
                return;
            }
            observer.Started(job);
            const QString folder = QFileInfo(job.output).path();
            if (!QDir().mkpath(folder)) {
                end(job, Outcome::Failed, QStringLiteral("cannot make the folder '%1'").arg(folder));
                return;
            }
            const core::Result<core::Resized> done = core::ResizeFile(
                job.input, job.output, {options.box, options.quality, options.keepMetadata, &pool});
            if (done)
                end(job, Outcome::Written, {});
            else
                end(job, Outcome::Failed, done.error().message);
        });
    }
    pool.waitForDone();
    return {written.load(), skipped.load(), failed.load(), notDone.load()};
}

}  // namespace batch
