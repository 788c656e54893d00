#pragma once
// A batch planned and run on a thread of its own, so that the window stays responsive; what the batch
// tells its observer arrives as signals on the window's thread. A run whose window goes is stopped and
// left to end by itself: its pictures in flight finish (never half-written) without holding any window,
// and the program waits for them only once its windows are gone.

#include "batch/options.h"
#include "batch/run.h"

#include <QByteArray>
#include <QObject>
#include <memory>

class BatchRun : public QObject {
    Q_OBJECT
public:
    explicit BatchRun(batch::Options options, QObject* parent = nullptr);
    // Stops the batch without waiting for it.
    ~BatchRun() override;

    void Start();
    // No new picture is taken up; those in flight finish.
    void Stop();

    // Until every batch of this program has ended: for the program's end, once its windows are gone.
    static void WaitForAll();

    // What the batch's thread shares with this object, which may go first.
    struct Shared;

signals:
    // pictures: the originals planned, earlier results left out.
    void Planned(int pictures);
    void PictureStarted(const QString& input);
    // outcome: a batch::Outcome; details.error says why for a skip or a failure, why in English.
    // inputPath: the picture as the plan names it (batch::Job::inputPath).
    void PictureEnded(const QString& input, const QByteArray& inputPath, int outcome, const QString& why,
                      const batch::Details& details);
    void Finished(const batch::Totals& totals);

private:
    std::shared_ptr<Shared> shared_;
};
