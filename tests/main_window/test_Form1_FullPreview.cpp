// Opening the full-size preview from the main window: Enter in the file list shows the current picture
// file in the one window a click opened before, and neither does anything before a picture is chosen.
// What a click shows is the whole-job test's.
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <QTemporaryDir>
#include <QTest>

using platform::PictureControl;

class TestForm1FullPreview : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    QTemporaryDir dir_;

    static PictureControl* fullImage() {
        return form2()->findChild<PictureControl*>(QStringLiteral("Image1"));
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        testpics::WriteFolder(dir_.path(), {{"a.png", {120, 80}}, {"b.png", {90, 70}}});
    }
    void init() {
        QVERIFY(openForm());
        openFolder(dir_.path());
    }
    void cleanup() { form_.reset(); }

    void nothingBeforeAPictureIsChosen() {
        MsgBoxRecorder boxes;
        clickPreview();
        files()->setFocus();
        QTest::keyClick(files(), Qt::Key_Return);
        QVERIFY(!form2());
        QVERIFY(boxes.empty());
    }

    void enterInTheListShowsTheSameWindowAgain() {
        files()->setFocus();
        files()->setCurrentRow(0);  // a.png
        clickPreview();
        QWidget* first = form2();
        QVERIFY(first);
        QTest::keyClick(first, Qt::Key_A);
        QVERIFY(!first->isVisible());
        QTest::keyClick(files(), Qt::Key_Return);
        QCOMPARE(form2(), first);
        QVERIFY(first->isVisible());
        QCOMPARE(fullImage()->Picture().pixelSize(), QSize(120, 80));
        // Enter opened the preview and did not move the list.
        QCOMPARE(files()->ListIndex(), 0);
    }
};

TORV_QTEST(TestForm1FullPreview)
#include "test_Form1_FullPreview.moc"
