#pragma once
// The message-loop timer: a non-zero interval starts it, interval 0 stops it.

#include <QObject>
#include <QTimer>

namespace platform {

class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent = nullptr);

    int Interval() const { return interval_; }
    void setInterval(int milliseconds);
    bool isRunning() const { return timer_.isActive(); }

signals:
    // A C++ member cannot share the class's name, so the runtime's Timer event is called Tick here.
    void Tick();

private:
    QTimer timer_;
    int interval_ = 0;
};

}  // namespace platform
