// The aspect-ratio fit: the whole table of sizes, ties and exact multiples, with the picture measured in
// single precision and the box as typed texts, and the four arguments floored afterwards.
#include "main_window/Form1.h"
#include "platform/runtime.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/LoopbackHttpServer.h"

#include "tests/support/QtTests.h"

#include <QTest>

class TestUlkpixel : public QObject {
    Q_OBJECT
private:
    LoopbackHttpServer server_{LoopbackHttpServer::Mode::Silent};

private slots:
    void table_data() {
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("height");
        QTest::addColumn<QString>("boxWidth");
        QTest::addColumn<QString>("boxHeight");
        QTest::addColumn<double>("newWidth");
        QTest::addColumn<double>("newHeight");
        QTest::addColumn<int>("status");
        const auto row = [](float w, float h, const char* bw, const char* bh, double nw, double nh,
                            int status) {
            QTest::addRow("%gx%g into %sx%s", double(w), double(h), bw, bh)
                << w << h << QString::fromLatin1(bw) << QString::fromLatin1(bh) << nw << nh << status;
        };
        row(300, 200, "400", "400", 300, 200, 0);  // smaller both ways: kept
        row(1024, 768, "400", "400", 400, 300, 1);
        row(400, 300, "400", "400", 400, 300, 1);  // an equal width is not smaller
        row(300, 500, "400", "400", 240, 400, 1);  // only the box's height bounds it
        row(800, 800, "400", "400", 400, 400, 0);  // both fit, equal: the second candidate
        row(1000, 999, "400", "400", 400, 400, 0);
        row(999, 1000, "400", "400", 400, 400, 0);
        row(654, 872, "300", "400", 300, 399, 0);  // 399.99999999999994 floors to 399
        row(822, 685, "300", "400", 300, 249, 1);  // 249.99999999999997 floors to 249
        row(100, 900, "800", "800", 88, 800, 1);
        row(1000, 1, "400", "400", 400, 0, 1);  // the fit itself gives 0; the shrink makes it 1
        // Measured sizes carry fractions; they count by their floor, as do fractional entries.
        row(639.987f, 480, "400", "400", 400, 300, 1);
        row(800.0126f, 600.0095f, " 400 ", "400.9", 400, 300, 1);
    }
    void table() {
        QFETCH(float, width);
        QFETCH(float, height);
        QFETCH(QString, boxWidth);
        QFETCH(QString, boxHeight);
        const LocaleScope c(QLocale::c());
        Form1 form(server_.base());
        QVariant w(width), h(height), bw(boxWidth), bh(boxHeight);
        form.ulkpixel(w, h, bw, bh);

        QTEST(form.value("yeni_genislik").toDouble(), "newWidth");
        QTEST(form.value("yeni_yukseklik").toDouble(), "newHeight");
        QCOMPARE(form.value("durum").typeId(), QMetaType::Short);
        QTEST(form.value("durum").toInt(), "status");
        // The caller's values are replaced by their floors; the picture's stay single precision.
        QCOMPARE(w.typeId(), QMetaType::Float);
        QCOMPARE(w.toFloat(), std::floor(width));
        QCOMPARE(h.toFloat(), std::floor(height));
        QCOMPARE(bw.toDouble(), std::floor(boxWidth.trimmed().toDouble()));
        QCOMPARE(bh.toDouble(), std::floor(boxHeight.trimmed().toDouble()));
    }

    void turkishEntriesWithADecimalComma() {
        const LocaleScope turkish(Turkish());
        Form1 form(server_.base());
        QVariant w(1024.0f), h(768.0f), bw(QStringLiteral("400,7")), bh(QStringLiteral("400"));
        form.ulkpixel(w, h, bw, bh);
        QCOMPARE(bw.toDouble(), 400.0);
        QCOMPARE(form.value("yeni_genislik").toDouble(), 400.0);
        QCOMPARE(form.value("yeni_yukseklik").toDouble(), 300.0);
    }

    void unusableArgumentsRaise() {
        // The window checks its entries first; called directly, the fit fails as the runtime does.
        const LocaleScope c(QLocale::c());
        Form1 form(server_.base());
        const auto errorOf = [&](QVariant w, QVariant h, QVariant bw, QVariant bh) {
            try {
                form.ulkpixel(w, h, bw, bh);
            } catch (const platform::RuntimeError& e) {
                return e.number();
            }
            return 0;
        };
        QCOMPARE(errorOf(1024.0f, 768.0f, QStringLiteral("abc"), QStringLiteral("400")),
                 platform::err::TypeMismatch);
        QCOMPARE(errorOf(1024.0f, 768.0f, QStringLiteral("0"), QStringLiteral("400")),
                 platform::err::DivisionByZero);
        QCOMPARE(errorOf(0.0f, 768.0f, QStringLiteral("400"), QStringLiteral("400")),
                 platform::err::DivisionByZero);
        // A picture of 0 x 0 stops before any division.
        QCOMPARE(errorOf(0.0f, 0.0f, QStringLiteral("1"), QStringLiteral("1")), 0);
        QCOMPARE(form.value("yeni_genislik").toDouble(), 0.0);
    }
};

TORV_QTEST(TestUlkpixel)
#include "test_ulkpixel.moc"
