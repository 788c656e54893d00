#pragma once
// The longest the GUI thread went without handling its events while the meter lived: a timer ticks every
// 2 ms and the longest gap between ticks is kept. Wall time, so a busy machine adds to it.
// Waits under it use RunEventsUntil: QTest::qWait sleeps 10 ms at a time, which would count as stalls.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <functional>

class StallMeter {
public:
    StallMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        clock_.start();
        timer_.start(2);
    }
    qint64 longestMs() const { return std::max(longest_, clock_.elapsed() - last_); }

    // Runs the event loop until done() holds or timeoutMs passed; whether done() holds.
    static bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done()) loop.quit();
        });
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        poll.start(1);
        if (!done()) loop.exec();
        return done();
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};
