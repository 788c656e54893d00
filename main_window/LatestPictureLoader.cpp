#include "main_window/LatestPictureLoader.h"

#include "core/huge_page_image.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

struct LatestPictureLoader::Shared {
    std::mutex mutex;
    std::condition_variable done;
    quint64 latest = 0;     // the newest pick's number
    quint64 finished = 0;   // the pick whose result is waiting in path and picture
    quint64 delivered = 0;  // the pick last handed to the window
    int pending = 0;        // loads queued or running
    QString path;
    platform::Picture picture;
};

LatestPictureLoader::LatestPictureLoader(QObject* parent) : QObject(parent), shared_(std::make_shared<Shared>()) {
    worker_.setMaxThreadCount(1);
    // One thread for good, its memory made ready before the first pick: the heap it reads files into is
    // its own.
    worker_.setExpiryTimeout(-1);
    worker_.start([] { core::WarmPictureMemory(); });
}

LatestPictureLoader::~LatestPictureLoader() {
    Supersede();
    worker_.waitForDone();
}

void LatestPictureLoader::Supersede() {
    const std::lock_guard lock(shared_->mutex);
    ++shared_->latest;
}

void LatestPictureLoader::Load(const QString& path, QSize previewArea, int waitMs) {
    quint64 pick;
    bool idle;
    {
        const std::lock_guard lock(shared_->mutex);
        pick = ++shared_->latest;
        idle = shared_->pending++ == 0;
    }
    worker_.start([this, shared = shared_, pick, path, previewArea] {
        bool current;
        {
            const std::lock_guard lock(shared->mutex);
            current = shared->latest == pick;
        }
        platform::Picture picture;
        if (current) {  // else a newer pick is queued behind this one
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
        if (shared->latest != pick) return;
        shared->finished = pick;
        shared->path = path;
        shared->picture = std::move(picture);
        shared->done.notify_all();
        QMetaObject::invokeMethod(this, [this, pick] { deliver(pick); }, Qt::QueuedConnection);
    });
    if (!idle || waitMs <= 0) return;
    {
        std::unique_lock lock(shared_->mutex);
        if (!shared_->done.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return shared_->finished == pick; }))
            return;
    }
    deliver(pick);
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
