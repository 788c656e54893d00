// The full-size preview window: black and borderless over the screen, the picture file read anew at its
// own size when it fits and zoomed when not, closed by any click or character key, and a file that
// became unreadable turned into a message.
#include "platform/controls/PictureControl.h"
#include "preview/Form2.h"
#include "tests/support/MsgBoxRecorder.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using platform::PictureControl;

class TestForm2 : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    std::unique_ptr<Form2> form_;

    PictureControl* image1() { return form_->findChild<PictureControl*>(QStringLiteral("Image1")); }
    QString picture(const QString& name, QSize size) {
        return testpics::Save(testpics::Gradient(size.width(), size.height()), dir_.filePath(name));
    }
    void show(const QString& path) {
        form_->ShowPicture(path);
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        form_ = std::make_unique<Form2>();
    }
    void cleanup() { form_.reset(); }

    void coversTheScreenInBlackWithoutFrame() {
        show(picture("small.png", {60, 40}));
        QVERIFY(form_->isVisible());
        QVERIFY(form_->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(form_->geometry(), form_->screen()->geometry());
        const QImage shot = form_->grab().toImage();
        QCOMPARE(QColor(shot.pixel(2, 2)), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(shot.width() - 3, shot.height() - 3)), QColor(Qt::black));
        // Image1 keeps its place and reaches past the window's right and bottom edges.
        QCOMPARE(image1()->pos(), QPoint(8, 8));
        QCOMPARE(image1()->size(), form_->frameGeometry().size());
    }

    void clipWhenItFitsZoomWhenNot_data() {
        QTest::addColumn<QSize>("extra");  // picture size beyond Image1's own
        QTest::addColumn<int>("mode");
        QTest::newRow("600 x 400") << QSize() << 0;
        QTest::newRow("exactly Image1's size") << QSize(0, 0) << 0;
        QTest::newRow("one pixel wider") << QSize(1, 0) << 3;
        QTest::newRow("one pixel taller") << QSize(0, 1) << 3;
    }
    void clipWhenItFitsZoomWhenNot() {
        QFETCH(QSize, extra);
        QFETCH(int, mode);
        const QSize area = form_->screen()->geometry().size();
        const QSize size = extra.isValid() ? area + extra : QSize(600, 400);
        show(picture("fit.png", size));
        QCOMPARE(image1()->Picture().pixelSize(), size);
        QCOMPARE(image1()->PictureSizeMode(), mode);
        QCOMPARE(image1()->AutoSize(), false);
        if (mode == 0) QCOMPARE(image1()->shownSize(), size);
        // Zoomed, the whole picture lies inside the visible window, centred.
        if (mode == 3) {
            const QSize shown = image1()->shownSize();
            const QRect placed(image1()->mapTo(form_.get(), QPoint((image1()->width() - shown.width()) / 2,
                                                                   (image1()->height() - shown.height()) / 2)),
                               shown);
            QVERIFY(form_->rect().contains(placed));
            QVERIFY(shown.width() == area.width() || shown.height() == area.height());
            QCOMPARE(placed.center(), form_->rect().center());
        }
    }

    void closesOnClicksAndCharacterKeys_data() {
        QTest::addColumn<int>("key");  // 0: a click on Image1, -1: a click on the window's edge strip
        QTest::newRow("click on the picture") << 0;
        QTest::newRow("click on the edge strip") << -1;
        QTest::newRow("letter") << int(Qt::Key_A);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Backspace") << int(Qt::Key_Backspace);
        QTest::newRow("space") << int(Qt::Key_Space);
    }
    void closesOnClicksAndCharacterKeys() {
        QFETCH(int, key);
        show(picture("close.png", {60, 40}));
        if (key == 0) {
            QTest::mouseClick(image1(), Qt::LeftButton, {}, image1()->rect().center());
        } else if (key == -1) {
            QTest::mouseClick(form_.get(), Qt::LeftButton, {}, QPoint(3, 3));
        } else {
            QTest::keyClick(form_.get(), Qt::Key(key));
        }
        QVERIFY(!form_->isVisible());
        QVERIFY(image1()->Picture().isEmpty());
    }

    void staysOpenOnKeysWithoutCharacter() {
        show(picture("stay.png", {60, 40}));
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_Down, Qt::Key_F5, Qt::Key_Shift})
            QTest::keyClick(form_.get(), key);
        QVERIFY(form_->isVisible());
        QVERIFY(!image1()->Picture().isEmpty());
    }

    void readsTheFileAnewEachTime() {
        const QString path = picture("changing.png", {300, 200});
        show(path);
        const platform::Picture first = image1()->Picture();  // kept alive, as the main window would
        QTest::keyClick(form_.get(), Qt::Key_Escape);
        picture("changing.png", {200, 100});
        show(path);
        QCOMPARE(image1()->Picture().pixelSize(), QSize(200, 100));
        QCOMPARE(first.pixelSize(), QSize(300, 200));
    }

    void unreadableFileGivesAMessageAndHides_data() {
        QTest::addColumn<bool>("removed");
        QTest::newRow("file removed since it was chosen") << true;
        QTest::newRow("file turned into garbage") << false;
    }
    void unreadableFileGivesAMessageAndHides() {
        QFETCH(bool, removed);
        const QString path = picture("gone.png", {60, 40});
        if (removed) {
            QVERIFY(QFile::remove(path));
        } else {
            testpics::WriteBytes("no longer a picture", path);
        }
        MsgBoxRecorder boxes;
        form_->ShowPicture(path);
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        QCOMPARE(boxes.boxes().front().prompt, QStringLiteral("Resim dosyası açılamadı: '%1'").arg(path));
        QCOMPARE(boxes.boxes().front().title, QStringLiteral("Project1"));
        QCOMPARE(boxes.boxes().front().style, int(platform::vbExclamation));
        QVERIFY(!form_->isVisible());
        QVERIFY(image1()->Picture().isEmpty());
        // Shown again with a good file, it works as before.
        show(picture("good.png", {60, 40}));
        QVERIFY(form_->isVisible());
        QCOMPARE(image1()->Picture().pixelSize(), QSize(60, 40));
    }
};

TORV_QTEST(TestForm2)
#include "test_Form2.moc"
