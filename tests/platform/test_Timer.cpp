// The message-loop timer: a non-zero interval starts it, 0 stops it, a new interval restarts it.
#include "platform/controls/Timer.h"

#include <QSignalSpy>
#include "tests/support/QtTests.h"

#include <QTest>

class TestTimer : public QObject {
    Q_OBJECT
private slots:
    void intervalStartsAndStops() {
        platform::Timer timer;
        QSignalSpy ticks(&timer, &platform::Timer::Tick);
        QVERIFY(!timer.isRunning());
        QCOMPARE(timer.Interval(), 0);
        timer.setInterval(20);
        QVERIFY(timer.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 2, 1000);
        timer.setInterval(0);
        QVERIFY(!timer.isRunning());
        const int seen = ticks.count();
        QTest::qWait(80);
        QCOMPARE(ticks.count(), seen);
        timer.setInterval(-5);  // a negative interval counts as 0
        QVERIFY(!timer.isRunning());
        QCOMPARE(timer.Interval(), 0);
    }

    void stoppingInsideTheHandlerEndsTicks() {
        platform::Timer timer;
        int ticks = 0;
        connect(&timer, &platform::Timer::Tick, this, [&] {
            if (++ticks == 3) timer.setInterval(0);
        });
        timer.setInterval(10);
        QTest::qWait(200);
        QCOMPARE(ticks, 3);
    }
};

TORV_QTEST(TestTimer)
#include "test_Timer.moc"
