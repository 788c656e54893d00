// The batch window as a user drives it: Enter over three pictures (and a broken one), then a run of
// camera-sized photos stopped with "İptal" while the window keeps answering.
#include "batch_window/BatchWindow.h"
#include "tests/support/FindControl.h"
#include "tests/support/QtTests.h"
#include "tests/support/StallMeter.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

class TestBatchWindow : public QObject {
    Q_OBJECT
    static QString text(BatchWindow& w, const char* label) { return FindControl<QLabel>(w, label)->text(); }

private slots:

    void enterWritesEachResultBesideItsOriginal() {
        QTemporaryDir dir;
        QStringList paths;
        for (const char* name : {"a.jpg", "b.png", "c.jpg"})
            paths << testpics::Save(testpics::Gradient(800, 600), dir.filePath(name));
        paths << testpics::WriteBytes("not a picture", dir.filePath("d.jpg"));
        BatchWindow window(paths, QSize(200, 200), 80);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_COMPARE(text(window, "pictures"), QStringLiteral("4 resim"));
        QCOMPARE(QApplication::focusWidget(), FindControl<QPushButton>(window, "start"));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!window.running(), 30000);
        for (const char* result : {"a_kucuk.jpg", "b_kucuk.jpg", "c_kucuk.jpg"})
            QCOMPARE(testpics::DecodeJpeg(dir.filePath(result)).size(), QSize(200, 150));
        QVERIFY(!QFile::exists(dir.filePath("d_kucuk.jpg")));
        QVERIFY2(QRegularExpression("^4 resim: 3 yazıldı, 0 atlandı, 1 başarısız — [0-9,]+ KB → [0-9,]+ KB$")
                     .match(text(window, "summary"))
                     .hasMatch(),
                 qPrintable(text(window, "summary")));
        QCOMPARE(FindControl<QPlainTextEdit>(window, "problems")->toPlainText(),
                 "Başarısız " + paths.last() + ": Resim okunamadı (bozuk ya da desteklenmeyen).");
        QCOMPARE(QApplication::focusWidget(), FindControl<QPushButton>(window, "close"));
    }

    void cancelStopsMidRunAndTheChoicesAreRemembered() {
        QTemporaryDir dir, results;
        // Noise: the slowest kind of photo to decode.
        const QString first = testpics::Save(testpics::Noise(6000, 4000), dir.filePath("foto1.jpg"));
        QStringList paths{first};
        for (int i = 2; i <= 6; ++i) {
            paths << dir.filePath(QStringLiteral("foto%1.jpg").arg(i));
            QVERIFY(QFile::copy(first, paths.last()));
        }
        {
            BatchWindow window(paths, QSize(400, 400), 85);
            FindControl<QLineEdit>(window, "maxSize")->setText("900");
            FindControl<QCheckBox>(window, "keepMetadata")->setChecked(true);
            FindControl<QRadioButton>(window, "toFolder")->setChecked(true);
            FindControl<QLineEdit>(window, "folder")->setText(results.path());
            BatchChoices::PickedInDialog(results.path());  // offered again: it lies outside the home folder
            FindControl<QCheckBox>(window, "overwrite")->setChecked(true);
            FindControl<QComboBox>(window, "format")->setCurrentText(QStringLiteral("Aynı biçim"));  // JPEGs still
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            StallMeter meter;
            QTest::mouseClick(FindControl<QPushButton>(window, "start"), Qt::LeftButton);
            auto* progress = FindControl<QProgressBar>(window, "progress");
            StallMeter::RunEventsUntil([&] { return progress->value() >= 1; }, 60000);
            QTest::mouseClick(FindControl<QPushButton>(window, "cancel"), Qt::LeftButton);
            StallMeter::RunEventsUntil([&] { return !window.running(); }, 60000);
#ifndef TORV_SANITIZED_BUILD
            QVERIFY2(meter.longestMs() <= 100, qPrintable(QString::number(meter.longestMs())));
#endif
            const QRegularExpressionMatch summary =
                QRegularExpression(
                    "^6 resim: (\\d) yazıldı, 0 atlandı, 0 başarısız, (\\d) yapılmadı \\(iptal edildi\\)")
                    .match(text(window, "summary"));
            QVERIFY2(summary.hasMatch(), qPrintable(text(window, "summary")));
            QVERIFY(summary.captured(2).toInt() > 0);
            // What was written is whole, and nothing else was left behind.
            const QStringList written = testfiles::FilesIn(results.path());
            QCOMPARE(written.size(), summary.captured(1).toInt());
            for (const QString& name : written)
                QCOMPARE(testpics::DecodeJpeg(results.filePath(name)).size(), QSize(400, 266));
        }
        BatchWindow again(paths);
        QCOMPARE(FindControl<QSpinBox>(again, "quality")->value(), 85);
        QCOMPARE(FindControl<QLineEdit>(again, "maxSize")->text(), QStringLiteral("900"));
        QVERIFY(FindControl<QCheckBox>(again, "keepMetadata")->isChecked());
        QVERIFY(FindControl<QRadioButton>(again, "toFolder")->isChecked());
        QCOMPARE(FindControl<QLineEdit>(again, "folder")->text(), results.path());
        QVERIFY(FindControl<QCheckBox>(again, "overwrite")->isChecked());
        QCOMPARE(FindControl<QComboBox>(again, "format")->currentText(), QStringLiteral("Aynı biçim"));
    }
};

TORV_QTEST(TestBatchWindow)
#include "test_BatchWindow.moc"
