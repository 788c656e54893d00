// The size and quality entries: "Güncelle" putting "400" back into both boxes, the slider writing the
// quality box, the key filter of the quality box and the reading of the quality to save with.
#include "main_window/Form1.h"
#include "platform/controls/HScrollBar.h"
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/LocaleScope.h"

#include <QLineEdit>
#include <QPushButton>
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
        QTest::newRow("numbers") << QStringLiteral("500") << QStringLiteral("300") << QStringLiteral("500")
                                 << QStringLiteral("300");
        QTest::newRow("letters") << QStringLiteral("500") << QStringLiteral("abc") << reset << reset;
        QTest::newRow("empty") << QString() << QStringLiteral("300") << reset << reset;
        QTest::newRow("zero stays") << QStringLiteral("0") << QStringLiteral("300") << QStringLiteral("0")
                                    << QStringLiteral("300");
        QTest::newRow("negative stays")
            << QStringLiteral("500") << QStringLiteral("-5") << QStringLiteral("500") << QStringLiteral("-5");
        QTest::newRow("decimal comma") << QStringLiteral("1,5") << QStringLiteral("300")
                                       << QStringLiteral("1,5") << QStringLiteral("300");
        QTest::newRow("full stop is no decimal")
            << QStringLiteral("1.5") << QStringLiteral("300") << reset << reset;
    }
    void guncelleResetsBothWhenEitherIsNoNumber() {
        QFETCH(QString, width);
        QFETCH(QString, height);
        const LocaleScope turkish(Turkish());
        box("Text1")->setText(width);
        box("Text2")->setText(height);
        form_->findChild<QPushButton*>(QStringLiteral("Command4"))->click();
        QTEST(box("Text1")->text(), "widthAfter");
        QTEST(box("Text2")->text(), "heightAfter");
        // The texts are stored as they stand, not converted.
        QCOMPARE(form_->value("bizim_genislik"), QVariant(box("Text1")->text()));
        QCOMPARE(form_->value("bizim_yukseklik"), QVariant(box("Text2")->text()));
    }

    void sliderWritesTheQualityAtOnce() {
        auto* slider = form_->findChild<platform::HScrollBar*>(QStringLiteral("HScroll1"));
        slider->setValue(75);
        QCOMPARE(box("txtQuality")->text(), QStringLiteral("75"));
        slider->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(box("txtQuality")->text(), QStringLiteral("74"));
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
        QTest::newRow("75") << QStringLiteral("75") << 75 << QStringLiteral("75");
        QTest::newRow("99") << QStringLiteral("99") << 99 << QStringLiteral("99");
        QTest::newRow("150 unchecked") << QStringLiteral("150") << 150 << QStringLiteral("150");
        QTest::newRow("empty") << QString() << 90 << QStringLiteral("90");
        QTest::newRow("letters") << QStringLiteral("abc") << 90 << QStringLiteral("90");
        QTest::newRow("beyond 32 bits") << QStringLiteral("3000000000") << 90 << QStringLiteral("90");
        QTest::newRow("half to even") << QStringLiteral("2,5") << 2 << QStringLiteral("2,5");
        QTest::newRow("half to even up") << QStringLiteral("3,5") << 4 << QStringLiteral("3,5");
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
