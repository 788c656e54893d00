#include "batch_window/BatchRun.h"

#include "batch/plan.h"
#include "core/huge_page_image.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// The batches of this program still running, for WaitForAll and for giving memory back after the last.
std::mutex runningMutex;
std::condition_variable runningEnded;
int running = 0;

}  // namespace

struct BatchRun::Shared {
    batch::Options options;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    BatchRun* receiver = nullptr;  // null once the run's object is gone

    // Emits on the receiver's thread, if it still lives.
    template <class Emit>
    void Post(Emit emitIt) {
        std::lock_guard lock(mutex);
        if (receiver) QMetaObject::invokeMethod(receiver, [r = receiver, emitIt] { emitIt(r); }, Qt::QueuedConnection);
    }
};

namespace {

// Called on the batch's threads: it only posts to the window's thread.
class Relay final : public batch::Observer {
public:
    explicit Relay(BatchRun::Shared& shared) : shared_(shared) {}
    void Started(const batch::Job& job) override {
        shared_.Post([input = job.input](BatchRun* r) { emit r->PictureStarted(input); });
    }
    void Ended(const batch::Job& job, batch::Outcome outcome, const QString& why,
               const batch::Details& details) override {
        shared_.Post([input = job.input, path = job.inputPath, outcome, why, details](BatchRun* r) {
            emit r->PictureEnded(input, path, int(outcome), why, details);
        });
    }

private:
    BatchRun::Shared& shared_;
};

}  // namespace

BatchRun::BatchRun(batch::Options options, QObject* parent) : QObject(parent), shared_(std::make_shared<Shared>()) {
    shared_->options = std::move(options);
}

BatchRun::~BatchRun() {
    Stop();
    std::lock_guard lock(shared_->mutex);
    shared_->receiver = nullptr;
}

void BatchRun::Stop() { shared_->stop = true; }

void BatchRun::Start() {
    if (shared_->receiver) return;
    shared_->receiver = this;
    {
        std::lock_guard lock(runningMutex);
        ++running;
    }
    std::thread([shared = shared_] {
        // Planned again here, not taken from what the window showed: the folders may have changed meanwhile.
        const std::vector<batch::Job> jobs = batch::Plan(shared->options, &shared->stop);
        shared->Post([n = batch::Count(jobs).originals](BatchRun* r) { emit r->Planned(n); });
        Relay relay(*shared);
        const batch::Totals totals = batch::Run(jobs, shared->options, relay, shared->stop);
        std::lock_guard lock(runningMutex);
        // What the batch took goes back once no other batch runs; the main window's warm memory stays.
        if (--running == 0) core::GiveBackBatchMemory();
        shared->Post([totals](BatchRun* r) { emit r->Finished(totals); });
        runningEnded.notify_all();
    }).detach();
}

void BatchRun::WaitForAll() {
    std::unique_lock lock(runningMutex);
    runningEnded.wait(lock, [] { return running == 0; });
}
