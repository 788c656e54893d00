#include "core/parallel.h"

#include "core/picture_decoder.h"

#include <QRunnable>
#include <atomic>
#include <latch>
#include <memory>
#include <new>
#include <vector>

namespace core {

namespace {

class Part final : public QRunnable {
public:
    Part(const std::function<void(int)>& part, int index, std::latch& done)
        : part_(part), index_(index), done_(done) {
        setAutoDelete(false);
    }
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

Result<void> ParallelFor(QThreadPool* pool, int parts, const std::function<void(int)>& part) {
    if (parts <= 0) return {};
    if (!pool) pool = QThreadPool::globalInstance();
    // Memory running out in a pool thread would end the process: it is caught there and told here.
    std::atomic<bool> outOfMemory = false;
    const std::function<void(int)> guarded = [&](int i) {
        try {
            part(i);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
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
        } catch (const std::bad_alloc&) {
            other->run();  // not queued: it runs here
        }
    }
    guarded(0);
    for (const auto& other : others) {
        if (pool->tryTake(other.get())) other->run();
    }
    done.wait();
    if (outOfMemory) return NoMemory();
    return {};
}

}  // namespace core
