// The ways the batch window opens: the program started with several pictures, a folder or --batch-window
// (and not with one picture), several files dropped on the main window, and Ctrl+B there.
#include "app/CommandLine.h"
#include "app/Form3.h"
#include "batch_window/BatchRun.h"
#include "batch_window/BatchWindow.h"
#include "main_window/Form1.h"
#include "platform/controls/FileListBox.h"
#include "tests/support/FindControl.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestFiles.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The batch window the main window holds, else null.
BatchWindow* BatchWindowOf(QWidget& main) { return main.findChild<BatchWindow*>(); }

QString Count(BatchWindow& w) { return FindControl<QLabel>(w, "pictures")->text(); }
QSize Box(BatchWindow& w) {
    return {FindControl<QSpinBox>(w, "width")->value(), FindControl<QSpinBox>(w, "height")->value()};
}

}  // namespace

class TestOpening : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString a_, b_;

private slots:
    void initTestCase() {
        a_ = testpics::Save(testpics::Gradient(64, 48), dir_.filePath("a.jpg"));
        b_ = testpics::Save(testpics::Gradient(64, 48), dir_.filePath("b.png"));
    }

    void startedWithSeveralPicturesOrAFolder_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("count");  // empty: no batch window
        QTest::newRow("two pictures") << QStringList{a_, b_} << "2 resim";
        QTest::newRow("a folder") << QStringList{dir_.path()} << "2 resim";
        QTest::newRow("--batch-window, one picture") << QStringList{"--batch-window", a_} << "1 resim";
        QTest::newRow("one picture") << QStringList{a_} << QString();
    }
    void startedWithSeveralPicturesOrAFolder() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, count);
        const auto request =
            std::get<cli::OpenWindow>(cli::Parse(QStringList{"torv-image-resize"} + arguments));
        Form3 splash(request.pictures, request.batchWindow);
        QVERIFY(QMetaObject::invokeMethod(&splash, "Timer1_Timer"));
        BatchWindow* batch = BatchWindowOf(*splash.mainWindow());
        QCOMPARE(batch != nullptr, !count.isEmpty());
        if (!batch) return;
        QVERIFY(QTest::qWaitForWindowActive(batch));
        QTRY_COMPARE(Count(*batch), count);
        QCOMPARE(Box(*batch), QSize(400, 400));
        QCOMPARE(FindControl<QSpinBox>(*batch, "quality")->value(), 90);
        QCOMPARE(QApplication::focusWidget(), FindControl<QPushButton>(*batch, "start"));
    }

    void aDropOfSeveralFilesAndCtrlBOpenItWithTheMainWindowsBox() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        FindControl<QLineEdit>(form, "Text1")->setText("640");
        FindControl<QScrollBar>(form, "HScroll1")->setValue(75);  // as the window sets it: not the user's
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(a_), QUrl::fromLocalFile(b_)});
        QDragEnterEvent enter(form.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        QDropEvent drop(form.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        BatchWindow* batch = BatchWindowOf(form);
        QVERIFY(batch);
        QTRY_COMPARE(Count(*batch), QStringLiteral("2 resim"));
        QCOMPARE(Box(*batch), QSize(640, 400));
        QCOMPARE(FindControl<QSpinBox>(*batch, "quality")->value(), 90);
        batch->close();
        QTRY_VERIFY(!BatchWindowOf(form));
        // Moved by the user, the slider's quality is the batch's.
        FindControl<QScrollBar>(form, "HScroll1")->triggerAction(QAbstractSlider::SliderSingleStepSub);
        form.OpenBatchWindow({a_});
        QCOMPARE(FindControl<QSpinBox>(*BatchWindowOf(form), "quality")->value(), 74);
        BatchWindowOf(form)->close();
        QTRY_VERIFY(!BatchWindowOf(form));

        FindControl<platform::FileListBox>(form, "File1")->setPath(dir_.path());
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_B, Qt::ControlModifier);
        QVERIFY(BatchWindowOf(form));
        QTRY_COMPARE(Count(*BatchWindowOf(form)), QStringLiteral("2 resim"));
    }

    void closingTheMainWindowMidBatchStopsItByDefault() {
        QTemporaryDir dir;
        const QString first = testpics::Save(testpics::Noise(6000, 4000), dir.filePath("foto1.jpg"));
        for (int i = 2; i <= 6; ++i) QVERIFY(QFile::copy(first, dir.filePath(QStringLiteral("foto%1.jpg").arg(i))));
        Form1 form;
        form.show();
        BatchWindow* batch = BatchWindow::Open(&form, {dir.path()}, QSize(400, 400));
        QTRY_COMPARE(Count(*batch), QStringLiteral("6 resim"));
        QTest::mouseClick(FindControl<QPushButton>(*batch, "start"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(FindControl<QLabel>(*batch, "current")->text().contains(" / 6 — "), 30000);
        ModalAnswerer answer;
        QString asked;
        answer.onModal(
            "the question", [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
            [&](QWidget* w) {
                asked = static_cast<QMessageBox*>(w)->text();
                QTest::keyClick(w, Qt::Key_Return);  // the default: stop
            });
        QVERIFY(form.close());
        QVERIFY(answer.done());
        QCOMPARE(asked, QStringLiteral("Resimler hâlâ küçültülüyor. Durdurulsun mu?"));
        QTRY_VERIFY(!BatchWindowOf(form));
        BatchRun::WaitForAll();
        // What the pictures in flight wrote is whole, the rest was never taken up, nothing else is left.
        const QStringList results = testfiles::FilesIn(dir.path()).filter("_kucuk");
        QVERIFY2(results.size() < 6, qPrintable(results.join(' ')));
        for (const QString& name : results) QCOMPARE(testpics::DecodeJpeg(dir.filePath(name)).size(), QSize(400, 266));
        QCOMPARE(testfiles::FilesIn(dir.path()).size(), 6 + results.size());
    }
};

TORV_QTEST(TestOpening)
#include "test_opening.moc"
