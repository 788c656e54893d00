// The picture box: automatic sizing to the picture, background and border, the conversion of
// HIMETRIC sizes back to pixels, sizes in twips, and drawing (the engine's shrink) onto its persistent
// image at the place asked.
#include "platform/controls/PictureBox.h"
#include "platform/runtime.h"
#include "tests/support/TestPictures.h"

#include "tests/support/QtTests.h"

#include <QTest>

namespace {

// A borderless box with a white background and a persistent image, as the shrink uses it.
void MakeSurface(platform::PictureBox& box, QSize size) {
    box.setBorderStyle(false);
    box.setBackColor(Qt::white);
    box.resize(size);
    box.setAutoRedraw(true);
}

}  // namespace

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
        QCOMPARE(picture.Width(), std::int64_t(21167));
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

    void sizesInTwips() {
        platform::PictureBox box;
        box.setWidth(400 * 15);
        box.setHeight(300 * 15);
        QCOMPARE(box.size(), QSize(400, 300));
        QCOMPARE(box.Width(), 6000);
        QCOMPARE(box.Height(), 4500);
        // The drawing area lies inside the border.
        QCOMPARE(box.ScaleWidth(), 400 - 2 * box.frameWidth());
        box.setBorderStyle(false);
        QCOMPARE(QRect(box.ScaleLeft(), box.ScaleTop(), box.ScaleWidth(), box.ScaleHeight()),
                 QRect(0, 0, 400, 300));
    }

    void unscaledRectanglesAreCopiedExactly() {
        platform::PictureBox box;
        MakeSurface(box, QSize(50, 40));
        const QImage source = testpics::Noise(50, 40);
        const auto picture = platform::Picture::FromImage(source);
        box.PaintPicture(picture, 0, 0, 50, 40, 0, 0, 50, 40);
        QCOMPARE(testpics::MaxChannelDifference(box.Image().pixels(), source), 0);

        box.PaintPicture(picture, 5, 6, 20, 10, 10, 5, 20, 10);
        const QImage drawn = box.Image().pixels();
        QCOMPARE(testpics::MaxChannelDifference(drawn.copy(5, 6, 20, 10), source.copy(10, 5, 20, 10)), 0);
        QCOMPARE(drawn.pixel(4, 6), source.pixel(4, 6));  // outside the rectangle nothing moved
    }

    void drawingNeedsAutoRedrawAndAPicture() {
        platform::PictureBox box;
        MakeSurface(box, QSize(8, 8));
        box.setAutoRedraw(false);
        box.PaintPicture(platform::Picture::FromImage(testpics::Noise(8, 8)), 0, 0, 8, 8, 0, 0, 8, 8);
        QImage white(8, 8, QImage::Format_RGB32);
        white.fill(Qt::white);
        QCOMPARE(testpics::MaxChannelDifference(box.Image().pixels(), white), 0);
        QVERIFY_THROWS_EXCEPTION(platform::RuntimeError,
                                 box.PaintPicture(platform::Picture(), 0, 0, 8, 8, 0, 0, 8, 8));
        box.setAutoRedraw(true);
        QVERIFY_THROWS_EXCEPTION(platform::RuntimeError, box.PaintPicture(platform::Picture::FromImage(white),
                                                                          0, 0, -8, 8, 0, 0, 8, 8));
    }

    void imageFollowsPictureAndResize() {
        platform::PictureBox box;
        MakeSurface(box, QSize(6, 4));
        const QImage source = testpics::Noise(6, 4);
        box.setPicture(platform::Picture::FromImage(source));
        QCOMPARE(testpics::MaxChannelDifference(box.Image().pixels(), source), 0);
        box.resize(8, 5);  // a larger surface keeps the drawing and shows the background around it
        const QImage grown = box.Image().pixels();
        QCOMPARE(grown.size(), QSize(8, 5));
        QCOMPARE(testpics::MaxChannelDifference(grown.copy(0, 0, 6, 4), source), 0);
        QCOMPARE(QColor(grown.pixel(7, 4)), QColor(Qt::white));
    }
};

TORV_QTEST(TestPictureBox)
#include "test_PictureBox.moc"
