// The size and quality entries: "Güncelle" putting "400" back into both boxes, the quality slider from
// mouse and keyboard writing the quality box, the box's key filter and the reading of the quality to save
// with.
#include "platform/controls/HScrollBar.h"
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/QtTests.h"

#include <QTest>

// The window's private quality reading, reached only from here.
struct Form1TestAccess {
    static std::int32_t kalite_oku(Form1& form) { return form.kalite_oku(); }
    static void txtQuality_KeyPress(Form1& form, std::int16_t& KeyAscii) {
        form.txtQuality_KeyPress(KeyAscii);
    }
};

class TestEntries : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    QLineEdit* box(const char* name) { return control<QLineEdit>(name); }

private slots:
    void init() { QVERIFY(openForm(false)); }
    void cleanup() { form_.reset(); }

    void guncelleResetsBothWhenEitherIsNoNumber_data() {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("widthAfter");
        QTest::addColumn<QString>("heightAfter");
        const QString reset = QStringLiteral("400");
        QTest::newRow("numbers") << "500" << "300" << "500" << "300";
        QTest::newRow("letters") << "500" << "abc" << reset << reset;
        QTest::newRow("empty") << "" << "300" << reset << reset;
        QTest::newRow("zero stays") << "0" << "300" << "0" << "300";
        QTest::newRow("negative stays") << "500" << "-5" << "500" << "-5";
        QTest::newRow("decimal comma") << "1,5" << "300" << "1,5" << "300";
        QTest::newRow("full stop is no decimal") << "1.5" << "300" << reset << reset;
    }
    void guncelleResetsBothWhenEitherIsNoNumber() {
        QFETCH(QString, width);
        QFETCH(QString, height);
        const LocaleScope turkish(Turkish());
        box("Text1")->setText(width);
        box("Text2")->setText(height);
        control<QPushButton>("Command4")->click();
        QTEST(box("Text1")->text(), "widthAfter");
        QTEST(box("Text2")->text(), "heightAfter");
        // The texts are stored as they stand, not converted.
        QCOMPARE(form_->value("bizim_genislik"), QVariant(box("Text1")->text()));
        QCOMPARE(form_->value("bizim_yukseklik"), QVariant(box("Text2")->text()));
    }

    void sliderWritesTheQualityAtOnce() {
        auto* slider = control<platform::HScrollBar>("HScroll1");
        slider->setValue(0);  // below the lower bound: quality 0 is not offered
        QCOMPARE(slider->value(), 1);
        QCOMPARE(box("txtQuality")->text(), QStringLiteral("1"));
        slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(box("txtQuality")->text(), QStringLiteral("11"));
        slider->setValue(75);
        QCOMPARE(box("txtQuality")->text(), QStringLiteral("75"));
        slider->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(box("txtQuality")->text(), QStringLiteral("74"));
    }

    void sliderKeysAndHandle() {
        auto* slider = control<platform::HScrollBar>("HScroll1");
        QCOMPARE(slider->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(box("txtQuality")->text(), QStringLiteral("100"));
        QTest::keyClick(slider, Qt::Key_Up);  // already at the top
        QCOMPARE(slider->value(), 100);
        QTest::keyClick(slider, Qt::Key_Left);
        QTest::keyClick(slider, Qt::Key_Down);
        QCOMPARE(box("txtQuality")->text(), QStringLiteral("98"));
        QTest::keyClick(slider, Qt::Key_Up);
        QCOMPARE(slider->value(), 99);
        // The slider is short; its handle must still be drawn where the value is.
        const QImage high = slider->grab().toImage();
        slider->setValue(1);
        QVERIFY(slider->grab().toImage() != high);
    }

    void keyFilterPassesDigitsAndBackspace() {
        for (int code = 0; code < 256; ++code) {
            std::int16_t key = std::int16_t(code);
            Form1TestAccess::txtQuality_KeyPress(*form_, key);
            const bool passes = code == 8 || (code >= '0' && code <= '9');
            QCOMPARE(key, passes ? std::int16_t(code) : std::int16_t(0));
        }
        // Wired to the box: with typing allowed, only digits and backspace arrive.
        QLineEdit* quality = box("txtQuality");
        quality->setReadOnly(false);
        quality->clear();
        quality->setFocus();
        QTest::keyClicks(quality, QStringLiteral("7a-8 .x9"));
        QCOMPARE(quality->text(), QStringLiteral("789"));
        QTest::keyClick(quality, Qt::Key_Backspace);
        QCOMPARE(quality->text(), QStringLiteral("78"));
        QTest::keyClick(quality, Qt::Key_Left);  // keys that type nothing are left alone
        QTest::keyClicks(quality, QStringLiteral("5"));
        QCOMPARE(quality->text(), QStringLiteral("758"));
    }

    void kaliteOkuReadsTheBox_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("shownAfter");
        QTest::newRow("75") << "75" << 75 << "75";
        QTest::newRow("150 unchecked") << "150" << 150 << "150";
        QTest::newRow("empty") << "" << 90 << "90";
        QTest::newRow("letters") << "abc" << 90 << "90";
        QTest::newRow("beyond 32 bits") << "3000000000" << 90 << "90";
        QTest::newRow("half to even") << "2,5" << 2 << "2,5";
        QTest::newRow("half to even up") << "3,5" << 4 << "3,5";
    }
    void kaliteOkuReadsTheBox() {
        QFETCH(QString, text);
        const LocaleScope turkish(Turkish());
        box("txtQuality")->setText(text);
        QTEST(int(Form1TestAccess::kalite_oku(*form_)), "quality");
        QTEST(box("txtQuality")->text(), "shownAfter");
    }
};

TORV_QTEST(TestEntries)
#include "test_entries.moc"
