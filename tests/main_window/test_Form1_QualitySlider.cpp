// The quality slider from the keyboard: it takes focus, Right/Up raise and Left/Down lower the value,
// and the quality box follows every change.
#include "main_window/Form1.h"
#include "platform/controls/HScrollBar.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QLineEdit>
#include "tests/support/QtTests.h"

#include <QTest>

class TestForm1QualitySlider : public QObject {
    Q_OBJECT
private slots:
    void keysMoveTheSliderAndTheBoxFollows() {
        LoopbackHttpServer server(LoopbackHttpServer::Mode::Silent);
        Form1 form(server.base());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* slider = form.findChild<platform::HScrollBar*>(QStringLiteral("HScroll1"));
        auto* quality = form.findChild<QLineEdit*>(QStringLiteral("txtQuality"));
        QVERIFY(slider && quality);
        QCOMPARE(slider->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
        slider->setFocus();

        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(slider->value(), 100);
        QCOMPARE(quality->text(), QStringLiteral("100"));
        QTest::keyClick(slider, Qt::Key_Up);  // already at the top
        QCOMPARE(slider->value(), 100);
        QTest::keyClick(slider, Qt::Key_Left);
        QTest::keyClick(slider, Qt::Key_Down);
        QCOMPARE(slider->value(), 98);
        QCOMPARE(quality->text(), QStringLiteral("98"));
        QTest::keyClick(slider, Qt::Key_Up);
        QCOMPARE(slider->value(), 99);
        QTest::keyClick(slider, Qt::Key_PageUp);
        QTest::keyClick(slider, Qt::Key_PageDown);
        QVERIFY(slider->value() >= 1 && slider->value() <= 100);
        QCOMPARE(quality->text(), QString::number(slider->value()));
    }

    void boundsAndSteps() {
        LoopbackHttpServer server(LoopbackHttpServer::Mode::Silent);
        Form1 form(server.base());
        auto* slider = form.findChild<platform::HScrollBar*>(QStringLiteral("HScroll1"));
        auto* quality = form.findChild<QLineEdit*>(QStringLiteral("txtQuality"));
        slider->setValue(0);  // below the lower bound: quality 0 is not offered
        QCOMPARE(slider->value(), 1);
        QCOMPARE(quality->text(), QStringLiteral("1"));
        slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(slider->value(), 11);
        QCOMPARE(quality->text(), QStringLiteral("11"));
        slider->setValue(75);
        QCOMPARE(quality->text(), QStringLiteral("75"));
    }

    void handleShowsTheValue() {
        // The slider is short; its handle must still be drawn where the value is.
        LoopbackHttpServer server(LoopbackHttpServer::Mode::Silent);
        Form1 form(server.base());
        auto* slider = form.findChild<platform::HScrollBar*>(QStringLiteral("HScroll1"));
        slider->setValue(1);
        const QImage low = slider->grab().toImage();
        slider->setValue(100);
        const QImage high = slider->grab().toImage();
        QVERIFY(low != high);
    }
};

TORV_QTEST(TestForm1QualitySlider)
#include "test_Form1_QualitySlider.moc"
