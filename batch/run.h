#pragma once
// Working through a batch's plan a few pictures at a time, through the engine that the window uses. Whoever
// runs it (the command line, a window) hears of each picture through an observer and may stop it.

#include "batch/options.h"
#include "batch/plan.h"

#include <QSize>
#include <QtGlobal>
#include <atomic>
#include <optional>
#include <vector>

namespace batch {

enum class Outcome { Written, Skipped, Failed, NotDone };

struct Totals {
    int written = 0, skipped = 0, failed = 0, notDone = 0;
    int fitted = 0;  // of the pictures written: those whose quality or size was lowered to fit maxBytes
    qint64 bytesIn = 0, bytesOut = 0;  // of the pictures written: their originals' sizes and their results'
};

// What an end tells beyond its outcome, for a summary or a reason in another language.
struct Details {
    std::optional<core::Error> error;  // a skip's or a failure's cause, the plan's or the engine's
    qint64 bytesIn = 0, bytesOut = 0;  // a written picture's original and result sizes
    bool fitted = false;               // a written picture's quality or size lowered to fit maxBytes
    QSize size{};                      // a written picture's result size
    int quality{};                     // and the quality it was encoded at (0: none)
    bool withoutMetadata{};            // written without the metadata asked to be kept
    int frames = 1;                    // an animated original's, of which the first was used
    bool keptOriginal{};               // the original's own bytes written, being smaller than the result
};

// Called from the batch's own threads, so an observer guards what it shares.
class Observer {
public:
    virtual ~Observer() = default;
    // A picture is taken up.
    virtual void Started(const Job&) {}
    // A picture is done with: why, for a skip or a failure; for a written one, what it lacks, if anything.
    virtual void Ended(const Job&, Outcome, const QString& /*why*/, const Details&) {}
};

// Half of the memory the system reports available, at most 768 MB (so that a batch stays under 1 GB in
// all), at least 64 MB.
std::int64_t DefaultMemoryBudget();

// Works through jobs: planned skips and failures are reported at once, the rest shrunk on up to
// options.jobs threads, a picture taken up only when the memory it needs (core::ResizeMemory) fits in the
// budget beside those in flight; a picture that needs more than the whole budget runs alone. Once stop is set no new picture is taken up; those in flight finish, the rest end
// NotDone. Returns when every job has ended.
Totals Run(const std::vector<Job>& jobs, const Options& options, Observer& observer, const std::atomic<bool>& stop);

}  // namespace batch
