// The window by keyboard alone and with pictures from outside it: Tab reaches every control in order
// and comes back, Enter presses a button, the numbered commands have keys, the working surfaces stay hidden at any size, a dropped file
// is picked as a click in the list picks it, and a fresh save shows in the list.
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class TestKeyboardAndOutside : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    QTemporaryDir dir_;

    // What a drop of these addresses does to the window: whether it took them.
    bool drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = form_->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &dropped);
        return true;
    }

private slots:
    void init() { QVERIFY(openForm()); }
    void cleanup() { form_.reset(); }

    void tabReachesEveryControlInOrderAndComesBack() {
        const QStringList order{"Text1",   "Text2",      "Text3",         "Text4",             "Text5",
                                "Text6",   "Text7",      "Command2",      "Command3",          "txtQuality",
                                "cmdSaveStdPic", "cmdSaveQualityPic", "Command4", "HScroll1", "Drive1",
                                "Dir1",    "File1",      "WebBrowser1",   "WebBrowser2"};
        form_->activateWindow();
        control<QWidget>("Text1")->setFocus();
        QStringList reached{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            // A pane's inner view takes the focus for its pane.
            QWidget* focus = QApplication::focusWidget();
            while (focus && focus->objectName().isEmpty()) focus = focus->parentWidget();
            reached << (focus ? focus->objectName() : QString());
        }
        QCOMPARE(reached.mid(0, order.size()), order);
        QCOMPARE(reached.last(), QStringLiteral("Text1"));  // and round again
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QVERIFY(control<QWidget>("WebBrowser2")->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == control<QWidget>("WebBrowser2"));
    }

    void enterPressesTheFocusedButton() {
        auto* update = control<QPushButton>("Command4");
        control<QLineEdit>("Text1")->setText(QStringLiteral("abc"));
        QSignalSpy clicked(update, &QPushButton::clicked);
        update->setFocus();
        QTest::keyClick(update, Qt::Key_Return);
        QTRY_COMPARE(clicked.count(), 1);
        QCOMPARE(text("Text1"), QStringLiteral("400"));
    }

    void keysPressTheNumberedCommandsAndLeaveTheCaptions() {
        form_->activateWindow();
        control<QLineEdit>("Text1")->setFocus();
        QStringList clicks;
        for (const char* name : {"Command2", "Command3", "cmdSaveStdPic", "cmdSaveQualityPic"}) {
            auto* button = control<QPushButton>(name);
            button->disconnect(SIGNAL(clicked(bool)));  // the commands themselves are tested elsewhere
            connect(button, &QPushButton::clicked, this, [&clicks, name] { clicks << QLatin1String(name); });
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(control<QLineEdit>("Text1"), Qt::Key_Return);
        QTest::keyClick(control<QLineEdit>("Text2"), Qt::Key_Enter);
        QCOMPARE(clicks, (QStringList{"Command2", "cmdSaveStdPic", "cmdSaveQualityPic", "Command3", "Command3"}));
        QCOMPARE(control<QPushButton>("Command2")->text(), QStringLiteral("1-Aç"));
        QCOMPARE(QApplication::focusWidget(), control<QLineEdit>("Text1"));  // the keys took no focus
    }

    void workingSurfacesStayHiddenAtAnySize() {
        form_->resize(1600, 1200);
        QTest::qWait(10);
        for (const char* name : {"Picture1", "Picture2"}) QVERIFY2(!control<QWidget>(name)->isVisible(), name);
        // Hidden, they still do their work.
        form_->PickPicture(testpics::Save(testpics::Gradient(800, 600), dir_.filePath("p.png")));
        shrink();
        QCOMPARE(picture2().pixelSize(), QSize(400, 300));
    }

    void aDroppedFileIsPickedAsInTheList() {
        const QString path = testpics::Save(testpics::Gradient(320, 200), dir_.filePath("atılan.jpg"));
        QVERIFY(drop({QUrl::fromLocalFile(path)}));
        QCOMPARE(files()->Path(), dir_.path());
        QCOMPARE(files()->List(files()->ListIndex()), QStringLiteral("atılan.jpg"));
        QCOMPARE(form_->value("dosya_yolu").toString(), path);
        QCOMPARE(text("Text6"), QStringLiteral("320"));
        // Only local files are taken.
        QVERIFY(!drop({QUrl(QStringLiteral("https://example.com/a.jpg"))}));
        QVERIFY(!drop({}));
    }

    void aFreshSaveShowsInTheList() {
        qputenv("HOME", QFile::encodeName(dir_.path()));
        form_->PickPicture(testpics::Save(testpics::Gradient(800, 600), dir_.filePath("büyük.png")));
        shrink();
        saveAs("cmdSaveStdPic", dir_.filePath("küçük.jpg"));
        QVERIFY(!files()->findItems(QStringLiteral("küçük.jpg"), Qt::MatchExactly).isEmpty());
        QCOMPARE(files()->List(files()->ListIndex()), QStringLiteral("büyük.png"));  // still the one picked
    }
};

TORV_QTEST(TestKeyboardAndOutside)
#include "test_keyboard_and_outside.moc"
