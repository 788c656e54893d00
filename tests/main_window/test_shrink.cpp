// "2-Küçült" through the window: the sizes shown, the result in Picture2 and its sharpness, what a
// later edit or load leaves alone, and wrong entries or a missing picture refused with a message.
#include "image/cDIBSection.h"
#include "main_window/Form1.h"
#include "platform/controls/PictureBox.h"
#include "platform/picture.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/MsgBoxRecorder.h"
#include "tests/support/TestPictures.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include "tests/support/QtTests.h"

#include <QTest>

class TestShrink : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    int files_ = 0;

    // Puts a picture into Picture1 the way loading does: through a file and the picture loader.
    void load(const QImage& image) {
        const QString path = dir_.filePath(QStringLiteral("p%1.png").arg(++files_));
        control<platform::PictureBox>("Picture1")
            ->setPicture(platform::LoadPicture(testpics::Save(image, path)));
    }
    QImage shrink(const char* width = "400", const char* height = "400") {
        control<QLineEdit>("Text1")->setText(QString::fromUtf8(width));
        control<QLineEdit>("Text2")->setText(QString::fromUtf8(height));
        control<QPushButton>("Command3")->click();
        return result();
    }
    QImage result() { return control<platform::PictureBox>("Picture2")->Picture().pixels(); }
    QStringList displays() {
        QStringList all;
        for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7"})
            all << text(name);
        return all;
    }
    QVariantList values() {
        QVariantList all;
        for (const char* name : {"resim_genislik", "resim_yukseklik", "bizim_genislik", "bizim_yukseklik",
                                 "yeni_genislik", "yeni_yukseklik", "durum"})
            all << form_->value(name);
        return all;
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QVERIFY(openForm(false));
    }
    void cleanup() { form_.reset(); }

    void fitsIntoTheBoxAndShowsTheSizes() {
        const LocaleScope turkish(Turkish());
        const QImage source = testpics::Gradient(1024, 768);
        load(source);
        const QImage made = shrink();
        QCOMPARE(text("Text3"), QStringLiteral("400"));
        QCOMPARE(text("Text4"), QStringLiteral("300"));
        QCOMPARE(text("Text5"), QStringLiteral("1"));
        // The measured size, unrounded, with the Turkish decimal comma.
        const float measured = platform::HimetricToPixels(platform::PixelsToHimetric(1024));
        QVERIFY(measured != 1024.0f);
        QCOMPARE(text("Text6"), platform::CStr(measured));
        QVERIFY(text("Text6").startsWith(QStringLiteral("1024,")));  // no thousands separator
        auto* box = control<platform::PictureBox>("Picture2");
        QCOMPARE(box->size(), QSize(400, 300));
        QCOMPARE(box->Width(), 400 * 15);
        QCOMPARE(made.size(), QSize(400, 300));
        QVERIFY(testpics::Psnr(
                    made, source.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)) > 40);
        QCOMPARE(form_->value("yeni_genislik").toDouble(), 400.0);

        // What the save commands build their buffer from: exactly the shrunk pixels.
        cDIBSection dib;
        dib.CreateFromPicture(box->Picture());
        QCOMPARE(testpics::MaxChannelDifference(testpics::FromDib(dib), made), 0);
    }

    void smallerPictureIsCopiedAsItIs() {
        const QImage source = testpics::Noise(300, 200);
        load(source);
        const QImage made = shrink();
        QCOMPARE(made.size(), QSize(300, 200));
        QCOMPARE(testpics::MaxChannelDifference(made, source), 0);
        QCOMPARE(text("Text5"), QStringLiteral("0"));
        QCOMPARE(control<platform::PictureBox>("Picture2")->size(), QSize(300, 200));
    }

    void resultStaysUntilTheNextClick() {
        load(testpics::Noise(1024, 768));
        const QImage first = shrink();
        const QStringList shown = displays();
        control<QLineEdit>("Text1")->setText(QStringLiteral("100"));
        QCOMPARE(text("Text3"), QStringLiteral("400"));
        QCOMPARE(result(), first);

        // Another picture in Picture1 leaves the last result in Picture2.
        load(testpics::Gradient(640, 480));
        QCOMPARE(result(), first);
        QCOMPARE(text("Text3"), shown[2]);

        // The same entries and picture again give the same pixels.
        load(testpics::Noise(1024, 768));
        QCOMPARE(shrink(), first);
        QCOMPARE(displays(), shown);
    }

    void thinPictureGetsOnePixel() {
        load(testpics::Noise(1000, 1));
        const QImage made = shrink();
        QCOMPARE(made.size(), QSize(400, 1));
        QCOMPARE(text("Text3"), QStringLiteral("400"));
        QCOMPARE(text("Text4"), QStringLiteral("1"));
        QCOMPARE(form_->value("yeni_yukseklik").toDouble(), 1.0);
    }

    void stripesByFourBecomeEvenGrey() {
        load(testpics::Stripes(1600, 100));
        const QImage made = shrink();
        QCOMPARE(made.size(), QSize(400, 25));
        QVERIFY2(testpics::MaxDistanceFromGrey(made, 128) <= 3,
                 qPrintable(QString::number(testpics::MaxDistanceFromGrey(made, 128))));
    }

    void stripesByAboutThreePointThreeStayGrey() {
        load(testpics::Stripes(1320, 100));
        const QImage made = shrink();
        QCOMPARE(made.size(), QSize(400, 30));
        QVERIFY2(testpics::MaxDistanceFromGrey(made, 128) <= 40,
                 qPrintable(QString::number(testpics::MaxDistanceFromGrey(made, 128))));
        // A nearest-pixel copy keeps black and white.
        QVERIFY(testpics::MaxDistanceFromGrey(testpics::Stripes(1320, 100).scaled(400, 30), 128) > 100);
    }

    void rampStaysMonotonicUpToTheEdges() {
        load(testpics::GreyRamp(1000, 50));
        const QImage made = shrink();
        QCOMPARE(made.size(), QSize(400, 20));
        for (int y = 0; y < made.height(); ++y) {
            QVERIFY(qRed(made.pixel(0, y)) <= 3);
            QVERIFY(qRed(made.pixel(399, y)) >= 252);
            for (int x = 1; x < made.width(); ++x)
                QVERIFY(qRed(made.pixel(x, y)) >= qRed(made.pixel(x - 1, y)));
        }
    }

    void transparentPartsTurnWhite() {
        QImage source(800, 400, QImage::Format_ARGB32);
        source.fill(Qt::transparent);
        for (int y = 0; y < 400; ++y)
            for (int x = 400; x < 800; ++x) source.setPixel(x, y, qRgba(255, 0, 0, 255));
        load(source);
        const QImage made = shrink();
        QCOMPARE(made.size(), QSize(400, 200));
        QCOMPARE(QColor(made.pixel(10, 100)), QColor(Qt::white));
        QCOMPARE(QColor(made.pixel(390, 100)), QColor(Qt::red));
    }

    void wrongEntriesAreRefused_data() {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::newRow("letters") << QStringLiteral("abc") << QStringLiteral("400");
        QTest::newRow("empty") << QStringLiteral("400") << QString();
        QTest::newRow("zero") << QStringLiteral("0") << QStringLiteral("400");
        QTest::newRow("negative") << QStringLiteral("400") << QStringLiteral("-5");
        QTest::newRow("below one") << QStringLiteral("0,4") << QStringLiteral("400");
    }
    void wrongEntriesAreRefused() {
        QFETCH(QString, width);
        QFETCH(QString, height);
        const LocaleScope turkish(Turkish());
        load(testpics::Gradient(1024, 768));
        const QImage before = shrink("300", "300");
        load(testpics::Noise(500, 500));
        const QStringList shown = displays();
        const QVariantList held = values();

        MsgBoxRecorder boxes;
        QCOMPARE(shrink(qPrintable(width), qPrintable(height)), before);
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        QCOMPARE(boxes.boxes()[0].prompt,
                 QStringLiteral("Genişlik ve yükseklik en az 1 olan sayılar olmalıdır."));
        QCOMPARE(boxes.boxes()[0].style, int(platform::vbExclamation));
        QCOMPARE(boxes.boxes()[0].title, QStringLiteral("Project1"));
        QStringList expected = shown;
        expected[0] = width;
        expected[1] = height;
        QCOMPARE(displays(), expected);
        QCOMPARE(values(), held);

        // The window still works.
        QCOMPARE(shrink("100", "100").size(), QSize(100, 100));
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
    }

    void noPictureIsRefused() {
        MsgBoxRecorder boxes;
        const QStringList shown = displays();
        QVERIFY(shrink().isNull());
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        QCOMPARE(boxes.boxes()[0].prompt, QStringLiteral("Önce bir resim seçin."));
        QCOMPARE(boxes.boxes()[0].style, int(platform::vbExclamation));
        QCOMPARE(displays(), shown);
        QVERIFY(!form_->value("yeni_genislik").isValid());
        load(testpics::Gradient(40, 30));
        QCOMPARE(shrink().size(), QSize(40, 30));
    }
};

TORV_QTEST(TestShrink)
#include "test_shrink.moc"
