#include "main_window/LatestPictureLoader.h"

#include "core/file_name.h"
#include "core/huge_page_image.h"
#include "core/picture_decoder.h"

#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

struct HeadVerdict {
    bool quick = false;   // waited for, and decoded at once
    bool settle = false;  // decoded only once the pick has stood a moment
};

// What the file's head says of its decode. A size the head does not tell counts as large; a file the
// loader refuses from its head alone (none, no picture, damaged, too large) is as quick as a small one.
HeadVerdict JudgeHead(const QString& path) {
    const core::FileHead head = core::ReadFileHead(core::EncodeFileName(path), core::kHeadSizeBytes);
    const QSize size = core::PictureHeadSize(head.bytes);
    const bool heif = core::IsHeif(head.bytes);
    const qint64 cost = size.isEmpty() ? std::numeric_limits<qint64>::max()
                                       : qint64(size.width()) * size.height() *
                                             (heif ? LatestPictureLoader::kHeifCostFactor : 1);
    if (cost <= LatestPictureLoader::kQuickPixels || !core::CheckPictureHead(head.bytes, head.fileBytes))
        return {true, false};
    return {false, heif};
}

}  // namespace

struct LatestPictureLoader::Shared {
    std::mutex mutex;
    std::condition_variable changed;  // a new pick, a head judged, a load finished
    quint64 latest = 0;     // the newest pick's number
    quint64 judged = 0;     // the pick whose head was read last, and what it said
    HeadVerdict verdict;
    quint64 finished = 0;   // the pick whose result is waiting in path and picture
    quint64 delivered = 0;  // the pick last handed to the window
    int pending = 0;        // loads queued or running
    quint64 latestView = 0; // the newest view asked for
    QString path;
    platform::Picture picture;
};

LatestPictureLoader::LatestPictureLoader(QObject* parent) : QObject(parent), shared_(std::make_shared<Shared>()) {
    worker_.setMaxThreadCount(1);
    judge_.setMaxThreadCount(1);
    // One thread for good, its memory made ready before the first pick: the heap it reads files into is
    // its own.
    worker_.setExpiryTimeout(-1);
    worker_.start([] { core::WarmPictureMemory(); });
}

LatestPictureLoader::~LatestPictureLoader() {
    Supersede();
    worker_.waitForDone();
    judge_.waitForDone();
}

void LatestPictureLoader::Supersede() {
    const std::lock_guard lock(shared_->mutex);
    ++shared_->latest;
    shared_->changed.notify_all();
}

bool LatestPictureLoader::Load(const QString& path, QSize previewArea) {
    const Clock::time_point picked = Clock::now();
    quint64 pick;
    bool idle;
    {
        const std::lock_guard lock(shared_->mutex);
        pick = ++shared_->latest;
        idle = shared_->pending++ == 0;
        shared_->changed.notify_all();  // a load settling behind this pick gives way
    }
    // The head is judged on a thread of its own, so that the window learns how long to wait even while the
    // loading thread is still busy (making its memory ready at start-up, or with a pick given up).
    judge_.start([shared = shared_, pick, path] {
        {
            const std::lock_guard lock(shared->mutex);
            if (shared->latest != pick) return;
        }
        // Whatever reading it throws makes it a large picture: on this thread it would end the program.
        HeadVerdict verdict;
        try {
            verdict = JudgeHead(path);
        } catch (...) {
        }
        const std::lock_guard lock(shared->mutex);
        shared->judged = pick;
        shared->verdict = verdict;
        shared->changed.notify_all();
    });
    worker_.start([this, shared = shared_, pick, picked, path, previewArea] {
        const auto current = [&] { return shared->latest == pick; };
        bool load;
        {
            std::unique_lock lock(shared->mutex);
            shared->changed.wait(lock, [&] { return !current() || shared->judged == pick; });
            if (current() && shared->verdict.settle)
                shared->changed.wait_until(lock, picked + std::chrono::milliseconds(kSettleMs),
                                           [&] { return !current(); });
            load = current();  // else a newer pick is queued behind this one
        }
        platform::Picture picture;
        if (load) {
            picture = platform::LoadPictureOrNone(path);
            // The preview's pixels too, so that the window's thread only scales what is decoded already.
            // Whatever that throws leaves the picture for the window to decode: on this thread it would end
            // the program.
            try {
                if (!picture.isEmpty()) {
                    const QSize size = picture.pixelSize();
                    picture.view(size.boundedTo(size.scaled(previewArea, Qt::KeepAspectRatio)));
                }
            } catch (...) {
            }
        }
        const std::lock_guard lock(shared->mutex);
        --shared->pending;
        if (!current()) return;
        shared->finished = pick;
        shared->path = path;
        shared->picture = std::move(picture);
        shared->changed.notify_all();
        QMetaObject::invokeMethod(this, [this, pick] { deliver(pick); }, Qt::QueuedConnection);
    });
    if (!idle) return false;
    {
        std::unique_lock lock(shared_->mutex);
        for (;;) {
            if (shared_->finished == pick) break;
            const bool quick = shared_->judged == pick && shared_->verdict.quick;
            const Clock::time_point until = picked + std::chrono::milliseconds(quick ? kQuickWaitMs : kBriefWaitMs);
            if (Clock::now() >= until || shared_->latest != pick) return false;
            shared_->changed.wait_until(lock, until);
        }
    }
    deliver(pick);
    return true;
}

void LatestPictureLoader::PrepareView(const platform::Picture& picture, QSize shown) {
    quint64 view;
    {
        const std::lock_guard lock(shared_->mutex);
        view = ++shared_->latestView;
    }
    worker_.start([this, shared = shared_, view, picture, shown] {
        {
            const std::lock_guard lock(shared->mutex);
            if (shared->latestView != view) return;  // a newer size is queued behind this one
        }
        try {
            picture.view(shown);
        } catch (...) {  // the preview stays as it is
        }
        QMetaObject::invokeMethod(this, &LatestPictureLoader::ViewReady, Qt::QueuedConnection);
    });
}

void LatestPictureLoader::deliver(quint64 pick) {
    QString path;
    platform::Picture picture;
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->latest != pick || shared_->finished != pick || shared_->delivered == pick) return;
        shared_->delivered = pick;
        path = shared_->path;
        picture = std::move(shared_->picture);
        shared_->picture = platform::Picture();
    }
    emit Loaded(path, picture);
}
