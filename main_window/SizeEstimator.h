#pragma once
// Tells, off the window's thread, how large a picture's JPEG would be at a quality, so that a user can aim
// at a file size before saving. Only the newest request is answered; at most one encode runs, with one
// request waiting behind it, however fast requests come (a slider dragged end to end).

#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <memory>

class SizeEstimator : public QObject {
    Q_OBJECT
public:
    explicit SizeEstimator(QObject* parent = nullptr);
    ~SizeEstimator() override;  // waits for an encode still running

    // Encodes picture at quality (as the save's JPEG writer would) and answers with Estimated.
    void Estimate(const QImage& picture, int quality);
    // Nothing asked so far is answered.
    void Cancel();

signals:
    // The newest request's JPEG size in bytes; -1 when it cannot be encoded.
    void Estimated(qint64 bytes);

private:
    struct Shared;
    void work();

    std::shared_ptr<Shared> shared_;
    QThreadPool worker_;
};
