// "2-Küçült" through the window: the sizes shown in Text3..Text7, Picture2 taking the fitted size and the
// shrunk picture, what a later edit or load leaves alone, and wrong entries or a missing picture refused
// with a message. How sharp and exact the shrink is, is the engine's business.
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <QTemporaryDir>
#include <QTest>

class TestShrink : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    int files_ = 0;

    // Puts a picture into Picture1 the way loading does: through a file and the picture loader.
    void load(const QImage& image) {
        const QString path = dir_.filePath(QStringLiteral("p%1.png").arg(++files_));
        control<platform::PictureBox>("Picture1")->setPicture(platform::LoadPicture(testpics::Save(image, path)));
    }
    QImage result() { return picture2().pixels(); }
    QStringList displays() {
        QStringList all;
        for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7"}) all << text(name);
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

    void fitsIntoTheBoxAndShowsTheSizes_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("shrunk");
        QTest::addColumn<QString>("status");
        // The picture's own size in whole pixels, as the fit counts it, in a Turkish locale too.
        QTest::addColumn<QString>("measuredWidth");
        QTest::addColumn<QString>("measuredHeight");
        QTest::newRow("scaled") << QSize(1024, 768) << QSize(400, 300) << "1" << "1024" << "768";
        QTest::newRow("smaller, kept") << QSize(300, 200) << QSize(300, 200) << "0" << "300" << "200";
        QTest::newRow("thin, one pixel at least") << QSize(1000, 1) << QSize(400, 1) << "1" << "1000" << "1";
        QTest::newRow("tiny") << QSize(16, 16) << QSize(16, 16) << "0" << "16" << "16";
    }
    void fitsIntoTheBoxAndShowsTheSizes() {
        QFETCH(QSize, picture);
        QFETCH(QSize, shrunk);
        const LocaleScope turkish(Turkish());
        load(testpics::Gradient(picture.width(), picture.height()));
        shrink();
        QCOMPARE(text("Text3"), QString::number(shrunk.width()));
        QCOMPARE(text("Text4"), QString::number(shrunk.height()));
        QTEST(text("Text5"), "status");
        QTEST(text("Text6"), "measuredWidth");
        QTEST(text("Text7"), "measuredHeight");
        QCOMPARE(form_->value("yeni_genislik").toDouble(), double(shrunk.width()));
        QCOMPARE(form_->value("yeni_yukseklik").toDouble(), double(shrunk.height()));
        auto* box = control<platform::PictureBox>("Picture2");
        QCOMPARE(box->size(), shrunk);
        QCOMPARE(box->Width(), shrunk.width() * 15);
        QCOMPARE(result().size(), shrunk);
    }

    void transparentPartsTurnWhite() {
        QImage source(800, 400, QImage::Format_ARGB32);
        source.fill(Qt::transparent);
        for (int y = 0; y < 400; ++y)
            for (int x = 400; x < 800; ++x) source.setPixel(x, y, qRgba(255, 0, 0, 255));
        load(source);
        shrink();
        const QImage made = result();
        QCOMPARE(made.size(), QSize(400, 200));
        QCOMPARE(QColor(made.pixel(10, 100)), QColor(Qt::white));
        QCOMPARE(QColor(made.pixel(390, 100)), QColor(Qt::red));
    }

    void resultStaysUntilTheNextClick() {
        load(testpics::Noise(1024, 768));
        shrink();
        const QImage first = result();
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
        shrink();
        QCOMPARE(result(), first);
        QCOMPARE(displays(), shown);
    }

    void wrongEntriesAreRefused_data() {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::newRow("letters") << "abc" << "400";
        QTest::newRow("empty") << "400" << "";
        QTest::newRow("zero") << "0" << "400";
        QTest::newRow("negative") << "400" << "-5";
        QTest::newRow("below one") << "0,4" << "400";
    }
    void wrongEntriesAreRefused() {
        QFETCH(QString, width);
        QFETCH(QString, height);
        const LocaleScope turkish(Turkish());
        load(testpics::Gradient(1024, 768));
        shrink(QStringLiteral("300"), QStringLiteral("300"));
        const QImage before = result();
        load(testpics::Noise(500, 500));
        const QStringList shown = displays();
        const QVariantList held = values();

        MsgBoxRecorder boxes;
        shrink(width, height);
        expectWarning(boxes, QStringLiteral("Genişlik ve yükseklik en az 1 olan sayılar olmalıdır."));
        QCOMPARE(result(), before);
        QStringList expected = shown;
        expected[0] = width;
        expected[1] = height;
        QCOMPARE(displays(), expected);
        QCOMPARE(values(), held);

        // The window still works.
        shrink(QStringLiteral("100"), QStringLiteral("100"));
        QCOMPARE(result().size(), QSize(100, 100));
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
    }

    void noPictureIsRefused() {
        MsgBoxRecorder boxes;
        const QStringList shown = displays();
        shrink();
        expectWarning(boxes, QStringLiteral("Önce bir resim seçin."));
        QVERIFY(result().isNull());
        QCOMPARE(displays(), shown);
        QVERIFY(!form_->value("yeni_genislik").isValid());
        load(testpics::Gradient(40, 30));
        shrink();
        QCOMPARE(result().size(), QSize(40, 30));
    }
};

TORV_QTEST(TestShrink)
#include "test_shrink.moc"
