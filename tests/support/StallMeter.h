#pragma once
// The longest the GUI thread went without handling its events while the meter lived: the longest gap
// between ticks of a 2 ms timer, in wall time. Wait under it with RunEventsUntil: QTest::qWait sleeps
// 10 ms at a time, which would count.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

class StallMeter {
public:
    StallMeter() {
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, clock_.restart()); });
        clock_.start();
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.start(2);
    }
    qint64 longestMs() const { return std::max(longest_, clock_.elapsed()); }

    // Runs the event loop until done() holds or timeoutMs passed.
    template <class Done>
    static void RunEventsUntil(Done done, int timeoutMs) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done()) loop.quit();
        });
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        poll.start(1);
        loop.exec();
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};
