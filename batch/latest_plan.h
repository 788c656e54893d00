#pragma once
// Plans on a thread of its own, for a window whose choices change while a plan of a large or slow folder
// is still being made: the newest request replaces one still running, which is abandoned, and only the
// newest plan is handed over. Nobody ever waits for a plan: a planner that goes leaves its thread to end
// by itself, on a slow network folder perhaps much later, and what it finds then is dropped.

#include "batch/plan.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace batch {

class LatestPlan {
public:
    // Called on the planning thread with the plan of the newest request (never of an older one), while
    // the planner still lives: hand the plan over to where it is wanted, quickly.
    using Done = std::function<void(std::uint64_t request, std::vector<Job> jobs)>;

    explicit LatestPlan(Done done);
    ~LatestPlan();  // never waits
    LatestPlan(const LatestPlan&) = delete;
    LatestPlan& operator=(const LatestPlan&) = delete;

    // Plans options, abandoning a plan still being made; returns the request's number, counting from 1.
    std::uint64_t Request(Options options);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace batch
