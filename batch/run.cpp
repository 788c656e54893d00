#include "batch/run.h"

#include "core/file_name.h"
#include "core/library_messages.h"
#include "core/parallel.h"
#include "core/picture.h"
#include "core/resize_file.h"
#include "core/resize_memory.h"
#include "core/safe_replace.h"
#include "core/unique_fd.h"

#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace batch {

namespace {

qint64 InputBytes(const Job& job) {
    struct stat st {};
    return ::stat(job.inputPath.constData(), &st) == 0 ? qint64(st.st_size) : 0;
}

QString Shown(const QByteArray& path) { return core::ShownFileName(core::DecodeFileName(path)); }

core::Error LinkOnTheWay(const QByteArray& path) {
    return {core::Cause::SymbolicLink, QStringLiteral("'%1' is a symbolic link").arg(Shown(path)),
            Shown(path)};
}

core::Error FolderError(int error, const QString& what, const QByteArray& folder) {
    return {
        core::CauseOfErrno(error),
        QStringLiteral("%1 '%2': %3").arg(what, Shown(folder), QString::fromLocal8Bit(std::strerror(error))),
        Shown(folder)};
}

// Results from this size on take long enough to reach the disk that the next picture starts meanwhile.
constexpr qint64 kLongWriteBytes = 256 * 1024;

// A folder that could not be made, and why.
struct NotMade {
    QByteArray folder;
    int error = 0;
};

// Makes the folders of path that are missing, as a user's mkdir -p would: the path is theirs. Returns the
// last one that could not be made, which tells why the path cannot be opened better than a missing name.
NotMade MakePath(const QByteArray& path) {
    NotMade failed;
    const auto make = [&](const QByteArray& folder) {
        if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST) failed = {folder, errno};
    };
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        make(path.left(slash));
    make(path);
    return failed;
}

// Opens the folder a job's result goes in: the root without following a link, checked to be the folder
// planned, then each folder below it, made when missing and never a link.
core::Result<void> OpenResultFolder(const Job& job, core::UniqueFd& folder) {
    const bool planned = job.rootDevice != 0 || job.rootInode != 0;
    const NotMade notMade = planned ? NotMade{} : MakePath(job.outputRoot);
    folder.reset(::open(job.outputRoot.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
        const int error = errno;
        struct stat st {};
        if (::lstat(job.outputRoot.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            return LinkOnTheWay(job.outputRoot);
        if (error == ENOENT && notMade.error != 0)
            return FolderError(notMade.error, QStringLiteral("cannot make the folder"), notMade.folder);
        return FolderError(error, QStringLiteral("cannot open the folder"), job.outputRoot);
    }
    struct stat st {};
    if (planned &&
        (::fstat(folder.get(), &st) != 0 || st.st_dev != job.rootDevice || st.st_ino != job.rootInode))
        return core::Error{
            core::Cause::ReplacedMeanwhile,
            QStringLiteral("the folder '%1' was replaced since the run began").arg(Shown(job.outputRoot)),
            Shown(job.outputRoot)};
    QByteArray reached = job.outputRoot;
    for (const QByteArray& level : job.outputSub.split('/')) {
        if (level.isEmpty()) continue;
        reached += '/' + level;
        const int made = ::mkdirat(folder.get(), level.constData(), 0777) == 0 || errno == EEXIST ? 0 : errno;
        core::UniqueFd next(
            ::openat(folder.get(), level.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid()) {
            const int error = errno == ENOENT && made != 0 ? made : errno;
            if (::fstatat(folder.get(), level.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode))
                return LinkOnTheWay(reached);
            return FolderError(error, QStringLiteral("cannot make the folder"), reached);
        }
        folder = std::move(next);
    }
    return {};
}

// Each folder the batch writes into is cleared once of temporary files that an earlier, killed run left.
class Sweeper {
public:
    void Sweep(int folderFd) {
        struct stat st {};
        if (::fstat(folderFd, &st) != 0) return;
        std::lock_guard lock(mutex_);
        if (swept_.emplace(st.st_dev, st.st_ino).second) core::RemoveStaleTemporaryFiles(folderFd);
    }

private:
    std::mutex mutex_;
    std::set<std::pair<dev_t, ino_t>> swept_;
};

}  // namespace

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
    std::atomic<int> written{0}, skipped{0}, failed{0}, notDone{0}, fitted{0};
    std::atomic<qint64> bytesIn{0}, bytesOut{0};
    const auto end = [&](const Job& job, Outcome outcome, const QString& why, const Details& details = {}) {
        switch (outcome) {
            case Outcome::Written: ++written; break;
            case Outcome::Skipped: ++skipped; break;
            case Outcome::Failed: ++failed; break;
            case Outcome::NotDone: ++notDone; break;
        }
        fitted += details.fitted ? 1 : 0;
        bytesIn += details.bytesIn;
        bytesOut += details.bytesOut;
        observer.Ended(job, outcome, why, details);
    };

    // Pictures being made are bounded by jobs; the pool has a thread for each core besides, so that a
    // picture's own parts (decoding beside filtering, bands of rows) use cores that no picture does.
    const int most = options.jobs > 0 ? options.jobs : QThread::idealThreadCount();
    Sweeper sweeper;
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(most, QThread::idealThreadCount()));
    const std::int64_t budget = options.memoryBudget > 0 ? options.memoryBudget : DefaultMemoryBudget();
    std::mutex mutex;
    std::condition_variable freed;
    std::int64_t inFlight = 0;  // bytes admitted and not yet given back
    int making = 0;             // pictures admitted whose results are not yet made
    for (const Job& job : jobs) {
        if (job.kind == Job::Kind::Skip) {
            end(job, Outcome::Skipped, job.why.detail, {job.why});
            continue;
        }
        if (job.kind == Job::Kind::Fail) {
            end(job, Outcome::Failed, job.why.detail, {job.why});
            continue;
        }
        const core::SizeRule size{options.box, options.scalePercent};
        const std::int64_t whole = [&] {
            // What the libraries say of a picture's head now they say again when it is worked on.
            const core::LibraryMessages unheard;
            return core::ResizeMemory(job.inputPath, size, {job.format, options.quality, options.lossless});
        }();
        if (const core::Result<void> fits = core::FitsJobMemory(whole); !fits) {
            end(job, Outcome::Failed, fits.error().detail, {fits.error()});
            continue;
        }
        const std::int64_t need = std::min(whole, budget);
        {
            std::unique_lock lock(mutex);
            // Woken when a picture ends; stop is set from elsewhere without a word, so look now and then.
            while (!stop && (inFlight + need > budget || making >= most))
                freed.wait_for(lock, std::chrono::milliseconds(50));
            inFlight += need;
            ++making;
        }
        pool.start([&, job, need, size] {
            // A large result's wait for the disk takes no core: the next picture starts meanwhile, on a
            // thread the pool lends for that long. Its memory comes back at its end. A small result's wait is
            // short, and a thread more would keep a heap more.
            struct GiveBack {
                std::mutex& mutex;
                std::condition_variable& freed;
                QThreadPool& pool;
                std::int64_t& inFlight;
                int& making;
                std::int64_t need;
                bool isMaking = true;
                void Made(qint64 bytes) {
                    if (bytes < kLongWriteBytes) return;
                    {
                        std::lock_guard lock(mutex);
                        isMaking = false;
                        --making;
                    }
                    pool.releaseThread();
                    freed.notify_all();
                }
                ~GiveBack() {
                    {
                        std::lock_guard lock(mutex);
                        inFlight -= need;
                        if (isMaking) --making;
                    }
                    if (!isMaking) pool.reserveThread();
                    freed.notify_all();
                }
            } giveBack{mutex, freed, pool, inFlight, making, need};
            if (stop) {
                end(job, Outcome::NotDone, {});
                return;
            }
            observer.Started(job);
            // What the libraries say of this picture goes on its own line.
            core::LibraryMessages heard;
            // Whatever escapes one picture's work (memory running out for its file's bytes) fails that picture
            // alone: on a pool thread it would end the whole batch.
            const core::Result<core::Resized> done = [&]() -> core::Result<core::Resized> {
                try {
                    core::UniqueFd folder;
                    if (const core::Result<void> opened = OpenResultFolder(job, folder); !opened) return opened.error();
                    sweeper.Sweep(folder.get());
                    // Results are new files: they take the time they were written, also over an older result.
                    return core::ResizeFile(
                        job.inputPath, folder.get(), job.outputName,
                        {size, options.quality, options.keepMetadata, &pool, options.maxBytes, job.format,
                         options.lossless, [&giveBack](qint64 bytes) { giveBack.Made(bytes); }},
                        {.overwrite = options.overwrite, .keepTimes = false});
                } catch (...) {
                    return core::CaughtError();
                }
            }();
            const auto said = [&heard](QString why) {
                const QString text = heard.Text();
                if (!text.isEmpty()) why += (why.isEmpty() ? QString() : QStringLiteral("; ")) + text;
                return why;
            };
            if (done)
                end(job, Outcome::Written, said(done->note),
                    {std::nullopt, InputBytes(job), done->bytes, done->fitted, done->to, done->quality,
                     done->withoutMetadata, done->frames, done->keptOriginal});
            else if (done.error().cause == core::Cause::ResultExists)
                end(job, Outcome::Skipped, done.error().detail, {done.error()});
            else
                end(job, Outcome::Failed, said(done.error().detail), {done.error()});
        });
    }
    pool.waitForDone();
    return {written.load(), skipped.load(), failed.load(),  notDone.load(),
            fitted.load(),  bytesIn.load(), bytesOut.load()};
}

}  // namespace batch
