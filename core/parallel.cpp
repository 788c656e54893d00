#include "core/parallel.h"

#include "core/picture_decoder.h"

#include <QRunnable>
#include <exception>
#include <latch>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

namespace core {

namespace {

class Part final : public QRunnable {
public:
    Part(const std::function<void(int)>& part, int index, std::latch& done)
        : part_(part), index_(index), done_(done) {
        setAutoDelete(false);
    }
    // part_ never throws: the latch always counts down, and the caller waits for it.
    void run() override {
        part_(index_);
        done_.count_down();
    }

private:
    const std::function<void(int)>& part_;
    int index_;
    std::latch& done_;
};

}  // namespace

Error CaughtError() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return NoMemory();
    } catch (const std::exception& e) {
        try {
            return Error{Cause::Internal, QStringLiteral("internal error: %1").arg(QString::fromUtf8(e.what()))};
        } catch (...) {
        }
    } catch (...) {
    }
    return Error{Cause::Internal, QStringLiteral("internal error")};
}

Result<void> ParallelFor(QThreadPool* pool, int parts, const std::function<void(int)>& part) {
    if (parts <= 0) return {};
    if (!pool) pool = QThreadPool::globalInstance();
    // An exception leaving a pool thread would end the process, and one leaving the calling thread would
    // unwind the stack the other parts use: each is caught where it is thrown, and the first is told here.
    std::mutex mutex;
    std::optional<Error> failure;
    const std::function<void(int)> guarded = [&](int i) {
        try {
            part(i);
        } catch (...) {
            Error caught = CaughtError();
            const std::lock_guard hold(mutex);
            if (!failure) failure = std::move(caught);
        }
    };
    std::latch done(parts - 1);
    std::vector<std::unique_ptr<Part>> others;
    try {
        // All made before any starts, so that a failure here leaves no part running.
        others.reserve(std::size_t(parts - 1));
        for (int i = 1; i < parts; ++i) others.push_back(std::make_unique<Part>(guarded, i, done));
    } catch (const std::bad_alloc&) {
        return NoMemory();
    }
    for (const auto& other : others) {
        try {
            pool->start(other.get());
        } catch (...) {
            other->run();  // not queued: it runs here
        }
    }
    guarded(0);
    for (const auto& other : others) {
        if (pool->tryTake(other.get())) other->run();
    }
    done.wait();
    if (failure) return *failure;
    return {};
}

}  // namespace core
