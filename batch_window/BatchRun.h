#pragma once
// A batch planned and run on a thread of its own, so that the window stays responsive; what the batch
// tells its observer arrives as signals, which the window receives queued on its own thread.

#include "batch/options.h"
#include "batch/run.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

class BatchRun : public QObject {
    Q_OBJECT
public:
    explicit BatchRun(batch::Options options, QObject* parent = nullptr);
    // Stops the batch and waits for the pictures in flight.
    ~BatchRun() override;

    void Start();
    // No new picture is taken up; those in flight finish.
    void Stop() { stop_ = true; }

signals:
    void Planned(int pictures);
    void PictureStarted(const QString& input);
    // outcome: a batch::Outcome; details.error says why for a skip or a failure, why in English.
    void PictureEnded(const QString& input, int outcome, const QString& why, const batch::Details& details);
    void Finished(const batch::Totals& totals);

private:
    batch::Options options_;
    std::atomic<bool> stop_{false};
    std::unique_ptr<QThread> thread_;
};
