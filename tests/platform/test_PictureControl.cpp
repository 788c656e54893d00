// The image control: clip mode centres the picture at its own size and cuts it at the edges, zoom
// mode fits it without distortion, automatic sizing, the raised edge, clicks, and repainting
// without decoding again.
#include "core/picture_source.h"
#include "platform/controls/PictureControl.h"
#include "tests/support/TestPictures.h"

#include <QSignalSpy>
#include "tests/support/QtTests.h"

#include <QTest>
#include <atomic>

namespace {

// A lazily decoded picture that counts how often its pixels are asked for.
class CountingDecoder : public core::PictureDecoder {
public:
    // scales: each decode makes the version asked for, as a JPEG's reduced decodes do.
    CountingDecoder(QImage image, std::atomic<int>& decodes, bool scales = false)
        : image_(std::move(image)), decodes_(decodes), scales_(scales) {}
    QSize size() const override { return image_.size(); }
    core::Result<QImage> Decode(QSize target) const override {
        ++decodes_;
        return scales_ ? image_.scaled(target) : image_;
    }

private:
    QImage image_;
    std::atomic<int>& decodes_;
    bool scales_;
};

const QColor kBackground(Qt::magenta);

QImage Shot(platform::PictureControl& control) {
    QPalette palette = control.palette();
    palette.setColor(QPalette::Window, kBackground);
    control.setPalette(palette);
    control.setAutoFillBackground(true);
    return control.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The bounding box of everything not painted in the background colour.
QRect PaintedArea(const QImage& shot) {
    QRect area;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (QColor(shot.pixel(x, y)) != kBackground) area |= QRect(x, y, 1, 1);
    return area;
}

}  // namespace

class TestPictureControl : public QObject {
    Q_OBJECT
private slots:
    void clipCentresThePictureAtItsOwnSize() {
        platform::PictureControl control;
        control.resize(200, 100);
        const QImage picture = testpics::Gradient(60, 40);
        control.setPicture(platform::Picture::FromImage(picture));
        const QImage shot = Shot(control);
        QCOMPARE(PaintedArea(shot), QRect(70, 30, 60, 40));
        QCOMPARE(QColor(shot.pixel(70, 30)), QColor(picture.pixel(0, 0)));
        QCOMPARE(QColor(shot.pixel(129, 69)), QColor(picture.pixel(59, 39)));
    }

    void clipCutsALargePictureAtTheEdges() {
        platform::PictureControl control;
        control.resize(100, 50);
        const QImage picture = testpics::Noise(300, 150);
        control.setPicture(platform::Picture::FromImage(picture));
        const QImage shot = Shot(control);
        QCOMPARE(control.shownSize(), QSize(300, 150));
        // The middle of the picture lands in the middle of the control.
        QCOMPARE(QColor(shot.pixel(0, 0)), QColor(picture.pixel(100, 50)));
        QCOMPARE(QColor(shot.pixel(99, 49)), QColor(picture.pixel(199, 99)));
    }

    void zoomFitsKeepingProportions_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("painted");
        QTest::newRow("wide, enlarged") << QSize(400, 150) << QRect(0, 65, 553, 207);
        QTest::newRow("tall, reduced") << QSize(600, 1200) << QRect(192, 0, 168, 337);
        QTest::newRow("same shape") << QSize(1106, 674) << QRect(0, 0, 553, 337);
    }
    void zoomFitsKeepingProportions() {
        QFETCH(QSize, picture);
        QFETCH(QRect, painted);
        platform::PictureControl control;
        control.resize(553, 337);
        control.setPictureSizeMode(platform::PictureControl::fmPictureSizeModeZoom);
        control.setPicture(
            platform::Picture::FromImage(testpics::Gradient(picture.width(), picture.height())));
        QCOMPARE(control.shownSize(), painted.size());
        QCOMPARE(PaintedArea(Shot(control)), painted);
    }

    void zoomIsSmoothAndFollowsResizes() {
        platform::PictureControl control;
        control.resize(100, 100);
        control.setPictureSizeMode(platform::PictureControl::fmPictureSizeModeZoom);
        const QImage picture = testpics::Gradient(400, 400);
        control.setPicture(platform::Picture::FromImage(picture));
        const QImage expected = picture.scaled(100, 100, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(testpics::Psnr(expected, Shot(control)) > 40);
        control.resize(50, 80);
        QCOMPARE(PaintedArea(Shot(control)), QRect(0, 15, 50, 50));
    }

    void emptyPicturePaintsNothing() {
        platform::PictureControl control;
        control.resize(40, 40);
        QVERIFY(PaintedArea(Shot(control)).isEmpty());
        control.setPicture(platform::Picture::FromImage(testpics::Gradient(10, 10)));
        control.setPicture(platform::Picture());
        QVERIFY(PaintedArea(Shot(control)).isEmpty());
        QVERIFY(control.shownSize().isEmpty());
    }

    // Shown larger than any version decoded so far, the picture is enlarged from the largest without
    // decoding here, and a larger version is asked for; once it is there, it is drawn from it.
    void aLargerViewIsAskedForNotDecoded() {
        std::atomic<int> decodes{0};
        const platform::Picture picture(core::Picture::FromSource(std::make_shared<const core::PictureSource>(
            std::make_unique<CountingDecoder>(testpics::Gradient(1200, 800), decodes, true))));
        picture.view(QSize(150, 100));
        platform::PictureControl control;
        control.resize(600, 400);
        control.setPictureSizeMode(platform::PictureControl::fmPictureSizeModeZoom);
        control.setPicture(picture);
        QSignalSpy asked(&control, &platform::PictureControl::ViewNeeded);
        QCOMPARE(PaintedArea(Shot(control)), QRect(0, 0, 600, 400));
        QCOMPARE(decodes.load(), 1);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.first().first().toSize(), QSize(600, 400));
        picture.view(QSize(600, 400));  // elsewhere, as the window's loader does
        QVERIFY(testpics::Psnr(Shot(control), testpics::Gradient(1200, 800).scaled(600, 400)) > 40);
        QCOMPARE(asked.count(), 1);
    }

    void autoSizeTakesThePictureSize() {
        platform::PictureControl control;
        control.resize(10, 10);
        control.setAutoSize(true);
        control.setPicture(platform::Picture::FromImage(testpics::Gradient(123, 45)));
        QCOMPARE(control.size(), QSize(123, 45));
        control.setAutoSize(false);
        control.setPicture(platform::Picture::FromImage(testpics::Gradient(20, 20)));
        QCOMPARE(control.size(), QSize(123, 45));
    }

    void raisedEdgeFramesTheContents() {
        platform::PictureControl control;
        control.resize(100, 100);
        control.setRaisedEdge(true);
        QCOMPARE(control.contentsRect(), QRect(2, 2, 96, 96));
        control.setPictureSizeMode(platform::PictureControl::fmPictureSizeModeZoom);
        control.setPicture(platform::Picture::FromImage(testpics::Gradient(200, 100)));
        QCOMPARE(control.shownSize(), QSize(96, 48));
    }

    void clickOnReleaseInside() {
        platform::PictureControl control;
        control.resize(50, 50);
        control.show();
        QVERIFY(QTest::qWaitForWindowExposed(&control));
        QSignalSpy clicks(&control, &platform::PictureControl::clicked);
        QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(clicks.count(), 1);
        QTest::mouseClick(&control, Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(clicks.count(), 1);
        // Pressed inside, let go outside: no click.
        QTest::mousePress(&control, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(&control, Qt::LeftButton, {}, QPoint(80, 80));
        QCOMPARE(clicks.count(), 1);
    }

    void repaintingDoesNotDecodeAgain() {
        std::atomic<int> decodes{0};
        platform::PictureControl control;
        control.resize(150, 100);
        control.setPictureSizeMode(platform::PictureControl::fmPictureSizeModeZoom);
        control.setPicture(platform::Picture(core::Picture::FromSource(std::make_shared<const core::PictureSource>(
            std::make_unique<CountingDecoder>(testpics::Gradient(300, 200), decodes)))));
        QVERIFY(!PaintedArea(Shot(control)).isEmpty());
        const int afterFirst = decodes;
        QVERIFY(afterFirst >= 1);
        Shot(control);
        Shot(control);
        QCOMPARE(decodes.load(), afterFirst);
    }
};

TORV_QTEST(TestPictureControl)
#include "test_PictureControl.moc"
