// The start-up picture over the preview: visible for the first two ticks of the window's timer,
// hidden from the third on, and no tick after that.
#include "main_window/Form1.h"
#include "platform/controls/PictureControl.h"
#include "platform/controls/Timer.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QSignalSpy>
#include "tests/support/QtTests.h"

#include <QTest>

class TestForm1Timer : public QObject {
    Q_OBJECT
private slots:
    void image4GoesOnTheThirdTick() {
        LoopbackHttpServer server(LoopbackHttpServer::Mode::Silent);
        Form1 form(server.base());
        form.show();
        auto* image4 = form.findChild<platform::PictureControl*>(QStringLiteral("Image4"));
        auto* timer = form.findChild<platform::Timer*>(QStringLiteral("Timer1"));
        QVERIFY(image4 && timer);
        QVERIFY(image4->isVisible());
        QCOMPARE(timer->Interval(), 1000);
        QVERIFY(timer->isRunning());

        for (int tick = 1; tick <= 2; ++tick) {
            QVERIFY(QMetaObject::invokeMethod(&form, "Timer1_Timer"));
            QCOMPARE(form.value("sayac").toInt(), tick);
            QVERIFY(image4->isVisible());
            QVERIFY(timer->isRunning());
        }
        QVERIFY(QMetaObject::invokeMethod(&form, "Timer1_Timer"));
        QCOMPARE(form.value("sayac").toInt(), 3);
        QVERIFY(!image4->isVisible());
        QCOMPARE(timer->Interval(), 0);
        QVERIFY(!timer->isRunning());
    }

    void realTicksStopAfterThree() {
        LoopbackHttpServer server(LoopbackHttpServer::Mode::Silent);
        Form1 form(server.base());
        form.show();
        auto* timer = form.findChild<platform::Timer*>(QStringLiteral("Timer1"));
        auto* image4 = form.findChild<platform::PictureControl*>(QStringLiteral("Image4"));
        // Let the real timer run at a faster pace; the handler is what counts.
        timer->setInterval(30);
        QSignalSpy ticks(timer, &platform::Timer::Tick);
        QTRY_VERIFY_WITH_TIMEOUT(!image4->isVisible(), 2000);
        QTest::qWait(150);
        QCOMPARE(ticks.count(), 3);
        QCOMPARE(form.value("sayac").toInt(), 3);
    }
};

TORV_QTEST(TestForm1Timer)
#include "test_Form1_Timer.moc"
