// Start-up: the splash alone first, then the main window alone, created once; closing the main window
// ends the program although the splash is still loaded.
#include "app/Form3.h"
#include "main_window/Form1.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureControl.h"
#include "platform/controls/Timer.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QScreen>
#include <QSignalSpy>
#include "tests/support/QtTests.h"

#include <QTest>
#include <QTimer>

namespace {
QList<QWidget*> VisibleWindows() {
    QList<QWidget*> visible;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) visible.append(window);
    return visible;
}
}  // namespace

class TestStartUp : public QObject {
    Q_OBJECT
private slots:
    void splashLooksRight() {
        Form3 splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QCOMPARE(splash.size(), QSize(285, 235));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash.geometry().center(), QGuiApplication::primaryScreen()->geometry().center());
        auto* image = splash.findChild<platform::PictureControl*>(QStringLiteral("Image1"));
        QVERIFY(image);
        QCOMPARE(image->Picture().pixelSize(), QSize(284, 234));
        // The centred picture covers the whole window.
        const QRect shown(
            image->mapTo(&splash, QPoint((image->width() - 284) / 2, (image->height() - 234) / 2)),
            QSize(284, 234));
        QVERIFY(shown.adjusted(0, 0, 1, 1).contains(splash.rect()));
    }

    void splashThenMainWindowOnce() {
        Form3 splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QCOMPARE(VisibleWindows(), QList<QWidget*>{&splash});
        QVERIFY(!splash.mainWindow());

        auto* timer = splash.findChild<platform::Timer*>(QStringLiteral("Timer1"));
        QVERIFY(timer);
        QCOMPARE(timer->Interval(), 1000);
        QSignalSpy ticks(timer, &platform::Timer::Tick);
        // The real one-second tick.
        QTRY_VERIFY_WITH_TIMEOUT(splash.mainWindow() != nullptr, 3000);
        Form1* form = splash.mainWindow();
        QCOMPARE(VisibleWindows(), QList<QWidget*>{form});
        QVERIFY(!timer->isRunning());
        QCOMPARE(form->windowTitle(), QStringLiteral("Torv Image Resizer"));

        // A stray second tick neither shows the splash again nor makes a second main window.
        QVERIFY(QMetaObject::invokeMethod(&splash, "Timer1_Timer"));
        QCOMPARE(splash.mainWindow(), form);
        QCOMPARE(VisibleWindows(), QList<QWidget*>{form});
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget* w) { return qobject_cast<Form1*>(w) != nullptr; }),
                 1);
        QCOMPARE(ticks.count(), 1);
    }

    void aPictureFromTheCommandLineIsPickedInTheMainWindow() {
        QTemporaryDir dir;
        QImage photo(320, 200, QImage::Format_RGB32);
        photo.fill(Qt::darkCyan);
        const QString path = dir.filePath(QStringLiteral("Yaz tatili.jpg"));
        QVERIFY(photo.save(path));
        Form3 splash(QStringList{path});
        splash.show();
        QVERIFY(QMetaObject::invokeMethod(&splash, "Timer1_Timer"));
        Form1* form = splash.mainWindow();
        QCOMPARE(form->value("dosya_yolu").toString(), path);
        auto* files = form->findChild<platform::FileListBox*>(QStringLiteral("File1"));
        QCOMPARE(files->Path(), dir.path());
        QCOMPARE(files->List(files->ListIndex()), QStringLiteral("Yaz tatili.jpg"));
        QCOMPARE(form->findChild<QLineEdit*>(QStringLiteral("Text6"))->text(), QStringLiteral("320"));
        form->close();
    }

    void closingTheMainWindowEndsTheProgram() {
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
        Form3 splash;
        splash.show();
        QVERIFY(QMetaObject::invokeMethod(&splash, "Timer1_Timer"));
        // Qt ends the program only from inside its event loop, as the real start-up runs it.
        Form1* form = splash.mainWindow();
        QTimer::singleShot(0, form, [form] { form->close(); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!form->isVisible());
    }
};

TORV_QTEST(TestStartUp)
#include "test_StartUp.moc"
