// The whole job through the window, as a user goes through a folder: a click on the file in the list (or
// "1-Aç" for a file the list leaves out), the full-size view, "2-Küçült" into 400 x 400, "3-Kaydet". A few
// files of the hostile corpus stand for all of it (the loader's own tests take every one): each either
// works at its upright size or ends in the one message, and after each a good picture still goes the
// whole way in the same window.
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kGood = QStringLiteral("zz-good.jpg");

}  // namespace

class TestWholeJob : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    QTemporaryDir folder_;  // the chosen corpus files and a good picture
    QTemporaryDir home_;    // where the saves go
    int saves_ = 0;

    QString path(const QString& name) const { return folder_.path() + u'/' + name; }

    // A mouse click on the file's entry; one on the entry already selected would load nothing.
    void pick(const QString& name) {
        const auto found = files()->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        files()->clearSelection();
        files()->scrollToItem(found.first());
        QTest::mouseClick(files()->viewport(), Qt::LeftButton, {}, files()->visualItemRect(found.first()).center());
    }

    // Sizes shown, full-size view, shrink, save, for a picture that loaded at size.
    void finishTheJob(QSize size, QSize shrunk) {
        QCOMPARE(text("Text6"), QString::number(size.width()));
        QCOMPARE(text("Text7"), QString::number(size.height()));

        clickPreview();
        QVERIFY(form2Shown());
        auto* full = form2()->findChild<platform::PictureControl*>(QStringLiteral("Image1"));
        QCOMPARE(full->Picture().pixelSize(), size);
        QTest::mouseClick(full, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!form2Shown());

        shrink();
        QCOMPARE(picture2().pixelSize(), shrunk);
        QCOMPARE(text("Text3"), QString::number(shrunk.width()));
        QCOMPARE(text("Text4"), QString::number(shrunk.height()));

        const QString name = QStringLiteral("kucuk-%1.jpg").arg(++saves_);
        saveAs("cmdSaveStdPic", name);
        QCOMPARE(testpics::DecodeJpeg(home_.path() + u'/' + name).size(), shrunk);
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid() && home_.isValid());
        const QDir corpus(QStringLiteral(TORV_TEST_DATA "/hostile"));
        for (const QString& name : corpus.entryList(QDir::Files))
            QVERIFY(QFile::copy(corpus.filePath(name), path(name)));
        testpics::Save(testpics::Gradient(1024, 768), path(kGood));
        qputenv("HOME", QFile::encodeName(home_.path()));
        QVERIFY(openForm());
        openFolder(folder_.path());
    }
    void cleanupTestCase() { form_.reset(); }

    void worksOrSaysSo_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");    // upright; none for a file that must be refused
        QTest::addColumn<QSize>("shrunk");  // into 400 x 400
        QTest::addColumn<bool>("mayFail");  // a truncated file may load with the gap filled in, or not
        QTest::newRow("EXIF turned a quarter") << "exif-orientation-6.jpg" << QSize(60, 40) << QSize(60, 40) << false;
        QTest::newRow("20000 x 1") << "wide-20000x1.jpg" << QSize(20000, 1) << QSize(400, 1) << false;
        QTest::newRow("JPEG cut short") << "truncated-no-eoi.jpg" << QSize(200, 150) << QSize(200, 150) << true;
        QTest::newRow("zero bytes") << "empty.jpg" << QSize() << QSize() << true;
        QTest::newRow("text named .jpg") << "text-named.jpg" << QSize() << QSize() << true;
        QTest::newRow("JPEG cut before its data") << "truncated-before-scan.jpg" << QSize() << QSize() << true;
        QTest::newRow("claims 100000 x 100000") << "claims-100000x100000.png" << QSize() << QSize() << true;
        QTest::newRow("not listed, through 1-Aç") << "empty.jpeg" << QSize() << QSize() << true;
    }
    void worksOrSaysSo() {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(QSize, shrunk);
        QFETCH(bool, mayFail);
        const bool listed = !files()->findItems(name, Qt::MatchExactly).isEmpty();
        const QString before = form_->value("dosya_yolu").toString();
        const QString widthBefore = text("Text6");
        {
            MsgBoxRecorder boxes;
            if (listed) {
                pick(name);
            } else {
                openWithDialog(path(name));
            }
            if (boxes.empty()) {
                QVERIFY2(size.isValid(), "a bad file was taken");
                finishTheJob(size, shrunk);
                QVERIFY(boxes.empty());
            } else {
                QVERIFY2(mayFail, "a good picture was refused");
                expectWarning(boxes, cannotOpen(path(name)));
                if (listed) {
                    // Nothing is left that the preview does not show: nothing to view, nothing to shrink.
                    QVERIFY(form_->value("dosya_yolu").toString().isEmpty());
                    QVERIFY(text("Text6").isEmpty() && text("Text7").isEmpty());
                    QVERIFY(preview()->Picture().isEmpty());
                    QCOMPARE(preview()->PictureSizeMode(), 0);
                    clickPreview();
                    QVERIFY(!form2Shown());
                    boxes.clear();
                    control<QPushButton>("Command3")->click();
                    expectWarning(boxes, QStringLiteral("Önce bir resim seçin."));
                } else {
                    // The open dialog leaves the picture chosen before in place.
                    QCOMPARE(form_->value("dosya_yolu").toString(), before);
                    QCOMPARE(text("Text6"), widthBefore);
                }
            }
        }
        MsgBoxRecorder boxes;
        pick(kGood);
        finishTheJob(QSize(1024, 768), QSize(400, 300));
        QVERIFY(boxes.empty());
    }
};

TORV_QTEST(TestWholeJob)
#include "test_whole_job.moc"
