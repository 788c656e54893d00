// The window's side of the fit: its four QVariant arguments replaced by their floors (the picture's
// staying single precision), the box read as texts in the user's locale, and the runtime's error numbers
// for arguments the fit cannot use. The fit's own table is the engine's business.
#include "main_window/Form1.h"
#include "platform/runtime.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/QtTests.h"

#include <QTest>
#include <cmath>

class TestUlkpixel : public QObject {
    Q_OBJECT
private:
    LoopbackHttpServer server_{LoopbackHttpServer::Mode::Silent};

private slots:
    void argumentsAndErrors_data() {
        QTest::addColumn<bool>("turkish");
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("height");
        QTest::addColumn<QString>("boxWidth");
        QTest::addColumn<QString>("boxHeight");
        QTest::addColumn<int>("error");  // the runtime error raised; 0 for none
        QTest::addColumn<QSizeF>("fitted");
        QTest::addColumn<int>("status");
        QTest::addColumn<QSizeF>("boxFloors");
        const auto row = [](const char* name, bool turkish, float w, float h, const char* bw, const char* bh,
                            int error, QSizeF fitted = {}, int status = 0, QSizeF boxFloors = {}) {
            QTest::newRow(name) << turkish << w << h << QString::fromUtf8(bw) << QString::fromUtf8(bh) << error
                                << fitted << status << boxFloors;
        };
        // Measured sizes carry fractions, and so may typed ones.
        row("fractions floored", false, 800.0126f, 600.0095f, " 400 ", "400.9", 0, {400, 300}, 1, {400, 400});
        row("smaller both ways", false, 300, 200, "400", "400", 0, {300, 200}, 0, {400, 400});
        row("Turkish decimal comma", true, 1024, 768, "400,7", "400", 0, {400, 300}, 1, {400, 400});
        row("box not a number", false, 1024, 768, "abc", "400", platform::err::TypeMismatch);
        row("box of zero", false, 1024, 768, "0", "400", platform::err::DivisionByZero);
        row("picture side of zero", false, 0, 768, "400", "400", platform::err::DivisionByZero);
    }
    void argumentsAndErrors() {
        QFETCH(bool, turkish);
        QFETCH(float, width);
        QFETCH(float, height);
        QFETCH(QString, boxWidth);
        QFETCH(QString, boxHeight);
        QFETCH(int, error);
        QFETCH(QSizeF, fitted);
        QFETCH(QSizeF, boxFloors);
        const LocaleScope locale(turkish ? Turkish() : QLocale::c());
        Form1 form(server_.base());
        QVariant w(width), h(height), bw(boxWidth), bh(boxHeight);
        int raised = 0;
        try {
            form.ulkpixel(w, h, bw, bh);
        } catch (const platform::RuntimeError& e) {
            raised = e.number();
        }
        QCOMPARE(raised, error);
        if (error) return;

        QCOMPARE(QSizeF(form.value("yeni_genislik").toDouble(), form.value("yeni_yukseklik").toDouble()), fitted);
        QCOMPARE(form.value("durum").typeId(), QMetaType::Short);
        QTEST(form.value("durum").toInt(), "status");
        QCOMPARE(w.typeId(), QMetaType::Float);
        QCOMPARE(h.typeId(), QMetaType::Float);
        QCOMPARE(w.toFloat(), std::floor(width));
        QCOMPARE(h.toFloat(), std::floor(height));
        QCOMPARE(QSizeF(bw.toDouble(), bh.toDouble()), boxFloors);
    }
};

TORV_QTEST(TestUlkpixel)
#include "test_ulkpixel.moc"
