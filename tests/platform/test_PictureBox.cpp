// The picture box: automatic sizing to the picture, background and border, and the conversion of
// HIMETRIC sizes back to pixels.
#include "platform/controls/PictureBox.h"
#include "platform/runtime.h"
#include "tests/support/TestPictures.h"

#include <QTest>

class TestPictureBox : public QObject {
    Q_OBJECT
private slots:
    void scaleTurnsHimetricIntoPixels_data() {
        QTest::addColumn<int>("pixels");
        QTest::newRow("800") << 800;
        QTest::newRow("300") << 300;
        QTest::newRow("1") << 1;
        QTest::newRow("6000") << 6000;
    }
    void scaleTurnsHimetricIntoPixels() {
        QFETCH(int, pixels);
        platform::PictureBox box;
        const auto picture = platform::Picture::FromImage(testpics::Gradient(pixels, 7));
        const float width = box.ScaleX(picture.Width(), platform::vbHimetric, platform::vbPixels);
        QCOMPARE(width, platform::HimetricToPixels(picture.Width()));
        // The way through HIMETRIC never falls short and stays within a fraction of a pixel.
        QVERIFY(width >= float(pixels));
        QVERIFY(width < float(pixels) + 0.5f);
        QCOMPARE(platform::Round(width), double(pixels));
        QCOMPARE(box.ScaleY(picture.Height(), platform::vbHimetric, platform::vbPixels),
                 platform::HimetricToPixels(picture.Height()));
    }

    void eightHundredPixelsCarryASmallFraction() {
        platform::PictureBox box;
        const auto picture = platform::Picture::FromImage(testpics::Gradient(800, 600));
        QCOMPARE(picture.Width(), 21167);
        QVERIFY(qAbs(box.ScaleX(picture.Width(), 8, 3) - 800.0126f) < 0.001f);
    }

    void otherUnits() {
        platform::PictureBox box;
        QCOMPARE(box.ScaleX(1440, platform::vbTwips, platform::vbPixels), 96.0f);
        QCOMPARE(box.ScaleY(96, platform::vbPixels, platform::vbTwips), 1440.0f);
        QCOMPARE(box.ScaleX(2540, platform::vbHimetric, platform::vbInches), 1.0f);
        QVERIFY_THROWS_EXCEPTION(platform::RuntimeError, box.ScaleX(1, 42, platform::vbPixels));
    }

    void autoSizeFollowsThePicture() {
        platform::PictureBox box;
        box.setBorderStyle(false);
        box.resize(289, 313);
        box.setPicture(platform::Picture::FromImage(testpics::Gradient(40, 30)));
        QCOMPARE(box.size(), QSize(289, 313));  // automatic sizing off
        box.setAutoSize(true);
        QCOMPARE(box.size(), QSize(40, 30));
        box.setPicture(platform::Picture::FromImage(testpics::Gradient(640, 480)));
        QCOMPARE(box.size(), QSize(640, 480));
        box.setBorderStyle(true);
        QCOMPARE(box.size(), QSize(644, 484));  // the border is outside the picture
        box.setPicture(platform::Picture());
        QCOMPARE(box.size(), QSize(644, 484));
    }

    void paintsPictureOverBackground() {
        platform::PictureBox box;
        box.setBorderStyle(false);
        box.setBackColor(Qt::white);
        box.resize(30, 20);
        const QImage picture = testpics::Noise(10, 10);
        box.setPicture(platform::Picture::FromImage(picture));
        const QImage shot = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(testpics::MaxChannelDifference(shot.copy(0, 0, 10, 10), picture), 0);
        QCOMPARE(QColor(shot.pixel(20, 15)), QColor(Qt::white));
        QCOMPARE(box.BackColor(), QColor(Qt::white));
    }
};

QTEST_MAIN(TestPictureBox)
#include "test_PictureBox.moc"
