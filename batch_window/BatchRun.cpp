#include "batch_window/BatchRun.h"

#include "batch/plan.h"

namespace {

// Called on the batch's threads: it only emits, and signals to another thread's objects are queued.
class Relay final : public batch::Observer {
public:
    explicit Relay(BatchRun& run) : run_(run) {}
    void Started(const batch::Job& job) override { emit run_.PictureStarted(job.input); }
    void Ended(const batch::Job& job, batch::Outcome outcome, const QString& why,
                          const batch::Details& details) override {
        emit run_.PictureEnded(job.input, int(outcome), why, details);
    }

private:
    BatchRun& run_;
};

}  // namespace

BatchRun::BatchRun(batch::Options options, QObject* parent) : QObject(parent), options_(std::move(options)) {}

BatchRun::~BatchRun() {
    if (!thread_) return;
    stop_ = true;
    thread_->wait();
}

void BatchRun::Start() {
    if (thread_) return;
    // Planned again here, not taken from what the window showed: the folders may have changed meanwhile.
    thread_.reset(QThread::create([this] {
        const std::vector<batch::Job> jobs = batch::Plan(options_);
        emit Planned(int(jobs.size()));
        Relay relay(*this);
        emit Finished(batch::Run(jobs, options_, relay, stop_));
    }));
    thread_->start();
}
