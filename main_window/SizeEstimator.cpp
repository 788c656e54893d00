#include "main_window/SizeEstimator.h"

#include "core/encode_picture.h"

#include <mutex>

struct SizeEstimator::Shared {
    std::mutex mutex;
    quint64 latest = 0;    // the newest request's number
    bool waiting = false;  // a request not yet taken by the worker
    bool running = false;  // the worker is encoding or about to
    QImage picture;
    int quality = 0;
};

SizeEstimator::SizeEstimator(QObject* parent) : QObject(parent), shared_(std::make_shared<Shared>()) {
    worker_.setMaxThreadCount(1);
}

SizeEstimator::~SizeEstimator() {
    Cancel();
    worker_.waitForDone();
}

void SizeEstimator::Estimate(const QImage& picture, int quality) {
    const std::lock_guard lock(shared_->mutex);
    ++shared_->latest;
    // A request still waiting is replaced, never queued behind.
    shared_->picture = picture;
    shared_->quality = quality;
    shared_->waiting = true;
    if (shared_->running) return;
    shared_->running = true;
    worker_.start([this] { work(); });
}

void SizeEstimator::Cancel() {
    const std::lock_guard lock(shared_->mutex);
    ++shared_->latest;
    shared_->waiting = false;
    shared_->picture = QImage();
}

void SizeEstimator::work() {
    for (;;) {
        QImage picture;
        int quality;
        quint64 request;
        {
            const std::lock_guard lock(shared_->mutex);
            if (!shared_->waiting) {
                shared_->running = false;
                return;
            }
            shared_->waiting = false;
            picture = std::move(shared_->picture);
            shared_->picture = QImage();
            quality = shared_->quality;
            request = shared_->latest;
        }
        qint64 bytes = -1;  // also when encoding throws: on this thread it would end the program
        try {
            const core::Result<QByteArray> jpeg = core::EncodePicture(picture, {core::OutputFormat::Jpeg, quality, false});
            if (jpeg) bytes = jpeg->size();
        } catch (...) {
        }
        // Checked again on the window's thread: a request made meanwhile makes this answer stale.
        QMetaObject::invokeMethod(
            this,
            [this, shared = shared_, request, bytes] {
                bool newest;
                {
                    const std::lock_guard lock(shared->mutex);
                    newest = shared->latest == request;
                }
                if (newest) emit Estimated(bytes);
            },
            Qt::QueuedConnection);
    }
}
