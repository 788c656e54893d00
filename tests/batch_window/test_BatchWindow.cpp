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
#include <QListView>
#include <QSettings>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

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

    void aPictureTakenOutOfTheListIsNotShrunk() {
        QTemporaryDir dir;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            testpics::Save(testpics::Gradient(80, 60), dir.filePath(name));
        BatchWindow window({dir.path()}, QSize(20, 20));
        window.show();
        QTRY_COMPARE(text(window, "pictures"), QStringLiteral("3 resim"));
        auto* list = FindControl<QListView>(window, "list");
        list->setFocus();
        list->setCurrentIndex(list->model()->index(1, 0));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(text(window, "pictures"), QStringLiteral("2 resim"));
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::mouseClick(FindControl<QPushButton>(window, "remove"), Qt::LeftButton);
        QCOMPARE(text(window, "pictures"), QStringLiteral("1 resim"));
        QTest::mouseClick(FindControl<QPushButton>(window, "start"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window.running(), 30000);
        QCOMPARE(testfiles::FilesIn(dir.path()), QStringList({"a.jpg", "b.jpg", "c.jpg", "c_kucuk.jpg"}));
    }

    void theFileSizeBoundSaysWhatEachPictureGaveUp() {
        QTemporaryDir dir;
        const QString photo = testpics::Save(testpics::Noise(600, 400), dir.filePath("n.jpg"));
        BatchWindow window({photo}, QSize(300, 300));
        FindControl<QLineEdit>(window, "maxSize")->setText("abc");  // refused as typed
        FindControl<QLineEdit>(window, "maxSize")->setText("3");
        FindControl<QCheckBox>(window, "keepMetadata")->setChecked(true);
        window.show();
        QTRY_VERIFY(FindControl<QPushButton>(window, "start")->isEnabled());
        QTest::mouseClick(FindControl<QPushButton>(window, "start"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window.running(), 30000);
        QVERIFY(QFileInfo(dir.filePath("n_kucuk.jpg")).size() <= 3 * 1024);
        QVERIFY2(FindControl<QPlainTextEdit>(window, "problems")->toPlainText().startsWith("Yazıldı " + photo + ": sığması için "),
                 qPrintable(FindControl<QPlainTextEdit>(window, "problems")->toPlainText()));
        QVERIFY2(text(window, "summary").contains("(1 boyuta sığdırıldı)"), qPrintable(text(window, "summary")));
    }

    void anAnimationSaysItGaveItsFirstFrame() {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(QStringLiteral(TORV_TEST_DATA "/hostile/animated.gif"), dir.filePath("a.gif")));
        BatchWindow window({dir.filePath("a.gif")}, QSize(20, 20));
        window.show();
        QTRY_VERIFY(FindControl<QPushButton>(window, "start")->isEnabled());
        QTest::mouseClick(FindControl<QPushButton>(window, "start"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window.running(), 30000);
        QTRY_COMPARE(FindControl<QPlainTextEdit>(window, "problems")->toPlainText(),
                     "Yazıldı " + dir.filePath("a.gif") + ": hareketli: 3 kareden yalnızca ilki kullanıldı");
    }

    void aTypedFolderEnablesStartOnceItCanTakeTheResults() {
        QTemporaryDir dir;
        const QString photo = testpics::Save(testpics::Gradient(80, 60), dir.filePath("a.jpg"));
        BatchWindow window({photo});
        window.show();
        auto* start = FindControl<QPushButton>(window, "start");
        FindControl<QRadioButton>(window, "toFolder")->setChecked(true);
        auto* folder = FindControl<QLineEdit>(window, "folder");
        folder->clear();
        QVERIFY(!start->isEnabled());
        QTest::keyClicks(folder, dir.filePath("yeni/alt"));  // made as --output makes it
        QTRY_VERIFY(start->isEnabled());
        folder->clear();
        QTest::keyClicks(folder, dir.filePath("a.jpg/x"));  // under a file: never
        QTest::qWait(300);
        QVERIFY(!start->isEnabled());
    }

    void aPipeForSettingsAndASystemFolderInThemAreNotTaken() {
        const QString settings = qEnvironmentVariable("XDG_CONFIG_HOME") + "/torv/torv-image-resize.ini";
        QVERIFY(QDir().mkpath(QFileInfo(settings).path()));
        QFile::remove(settings);
        QCOMPARE(::mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
        {
            BatchWindow window({});  // would wait for a writer for ever
            QCOMPARE(FindControl<QSpinBox>(window, "quality")->value(), 90);
        }
        QFile::remove(settings);
        QSettings written(settings, QSettings::IniFormat);
        written.setValue("batch/toFolder", true);
        written.setValue("batch/folder", "/etc");
        written.sync();
        BatchWindow window({});
        QVERIFY(FindControl<QRadioButton>(window, "beside")->isChecked());
        QCOMPARE(FindControl<QLineEdit>(window, "folder")->text(), QString());
        QFile::remove(settings);
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
            QTRY_VERIFY(FindControl<QPushButton>(window, "start")->isEnabled());  // the folder looked at
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
            QVERIFY2(summary.hasMatch() && summary.captured(2).toInt() > 0, qPrintable(text(window, "summary")));
            // What was written is whole, and nothing else was left behind.
            const QStringList written = testfiles::FilesIn(results.path());
            QCOMPARE(written.size(), summary.captured(1).toInt());
            for (const QString& name : written)
                QCOMPARE(testpics::DecodeJpeg(results.filePath(name)).size(), QSize(400, 266));

            // "Başlat" again goes on with the rest: what was written is skipped, even with "replace" ticked.
            QTRY_VERIFY(FindControl<QPushButton>(window, "start")->isEnabled());
            QTest::mouseClick(FindControl<QPushButton>(window, "start"), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!window.running(), 60000);
            QCOMPARE(text(window, "summary").section(QStringLiteral(" — "), 0, 0),
                     QStringLiteral("6 resim: %1 yazıldı, %2 atlandı, 0 başarısız")
                         .arg(6 - written.size())
                         .arg(written.size()));
            QCOMPARE(testfiles::FilesIn(results.path()).size(), 6);
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
