#include "core/parallel.h"

#include <QRunnable>
#include <latch>
#include <memory>
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

void ParallelFor(QThreadPool* pool, int parts, const std::function<void(int)>& part) {
    if (parts <= 0) return;
    if (!pool) pool = QThreadPool::globalInstance();
    std::latch done(parts - 1);
    std::vector<std::unique_ptr<Part>> others;
    for (int i = 1; i < parts; ++i) {
        others.push_back(std::make_unique<Part>(part, i, done));
        pool->start(others.back().get());
    }
    part(0);
    for (const auto& other : others) {
        if (pool->tryTake(other.get())) other->run();
    }
    done.wait();
}

}  // namespace core
