#include "batch/latest_plan.h"

#include <mutex>
#include <optional>
#include <thread>

namespace batch {

struct LatestPlan::Shared {
    std::mutex mutex;
    Done done;  // emptied when the planner goes
    std::optional<Options> waiting;
    std::uint64_t newest = 0;
    bool working = false;  // a thread is planning or about to
    std::atomic<bool> abandon{false};

    // The planning thread's loop: the newest request, until none is waiting.
    static void Work(std::shared_ptr<Shared> shared) {
        for (;;) {
            Options options;
            std::uint64_t request = 0;
            {
                std::lock_guard lock(shared->mutex);
                if (!shared->waiting || !shared->done) {
                    shared->working = false;
                    return;
                }
                options = std::move(*shared->waiting);
                shared->waiting.reset();
                request = shared->newest;
                shared->abandon = false;
            }
            std::vector<Job> jobs = Plan(options, &shared->abandon);
            std::lock_guard lock(shared->mutex);
            if (shared->done && request == shared->newest) shared->done(request, std::move(jobs));
        }
    }
};

LatestPlan::LatestPlan(Done done) : shared_(std::make_shared<Shared>()) { shared_->done = std::move(done); }

LatestPlan::~LatestPlan() {
    std::lock_guard lock(shared_->mutex);
    shared_->done = nullptr;
    shared_->waiting.reset();
    shared_->abandon = true;
}

std::uint64_t LatestPlan::Request(Options options) {
    std::lock_guard lock(shared_->mutex);
    shared_->waiting = std::move(options);
    shared_->abandon = true;
    const std::uint64_t request = ++shared_->newest;
    if (!shared_->working) {
        shared_->working = true;
        std::thread(&Shared::Work, shared_).detach();
    }
    return request;
}

}  // namespace batch
