// Every file of the hostile corpus through the whole job in one main window, as a user would go through
// a folder of them: pick it in the file list, view it full-size, "2-Küçült" into 400 x 400, "3-Kaydet".
// Each file either works at its upright size or ends in the clear message, within a few seconds, and
// after each one a good picture still goes through the whole job in the same window.
#include "main_window/Form1.h"
#include "platform/controls/DirListBox.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/HostileCorpus.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/MsgBoxRecorder.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/TestPictures.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include "tests/support/QtTests.h"

#include <QTest>
#include <memory>

Q_DECLARE_METATYPE(hostile::Outcome)

namespace {

constexpr qint64 kSecondsPerFile = 5;
constexpr long kMemoryLimitKiB = 2L * 1024 * 1024;
const QSize kWanted(400, 400);
// Put into the copied corpus; goes through the whole job after every hostile file.
const QString kGoodAfter = QStringLiteral("zz-good-after.png");
const QSize kGoodAfterSize(640, 480);

// The size a picture shrinks to in kWanted: kept when it fits inside, else the proportional fit rounded
// down; never below one pixel a side.
QSize Fitted(QSize size) {
    if (size.width() < kWanted.width() && size.height() < kWanted.height()) return size;
    return size.scaled(kWanted, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

}  // namespace

class TestHostileWindow : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    QTemporaryDir folder_;  // a copy of the corpus and the good picture
    QTemporaryDir home_;    // where the saves go
    int saves_ = 0;

    QString path(const QString& name) const { return folder_.path() + u'/' + name; }
    static bool form2Shown() { return form2() && form2()->isVisible(); }

    bool listed(const QString& name) { return !files()->findItems(name, Qt::MatchExactly).isEmpty(); }

    // A mouse click on the file's entry in the list; a click on the entry already selected would load
    // nothing, so the selection is cleared first.
    void pick(const QString& name) {
        const auto found = files()->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        files()->clearSelection();
        files()->scrollToItem(found.first());
        QTest::mouseClick(files()->viewport(), Qt::LeftButton, {},
                          files()->visualItemRect(found.first()).center());
        QCOMPARE(files()->currentItem(), found.first());
    }

    // "1-Aç" with the file's full name typed into the open dialog: how a file the list leaves out is
    // reached.
    void openWithDialog(const QString& name) {
        ModalAnswerer answer;
        answer.typeFileName(path(name));
        control<QPushButton>("Command2")->click();
        QVERIFY2(answer.done() && answer.failures().isEmpty(), qPrintable(answer.failures().join(u';')));
    }

    // The preview clicked: the full-size view shows the picture at size, and a click closes it again.
    void viewFullSize(QSize size) {
        auto* image2 = control<platform::PictureControl>("Image2");
        QTest::mouseClick(image2, Qt::LeftButton, {}, image2->rect().center());
        QVERIFY(form2Shown());
        auto* image1 = form2()->findChild<platform::PictureControl*>(QStringLiteral("Image1"));
        QVERIFY(image1);
        QCOMPARE(image1->Picture().pixelSize(), size);
        QTest::mouseClick(image1, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!form2Shown());
    }

    // "2-Küçült" into kWanted; the result is in Picture2 and the new-size fields.
    void shrink(QSize size) {
        control<QLineEdit>("Text1")->setText(QString::number(kWanted.width()));
        control<QLineEdit>("Text2")->setText(QString::number(kWanted.height()));
        control<QPushButton>("Command3")->click();
        const QSize fitted = Fitted(size);
        QCOMPARE(control<platform::PictureBox>("Picture2")->Picture().pixelSize(), fitted);
        QCOMPARE(text("Text3"), QString::number(fitted.width()));
        QCOMPARE(text("Text4"), QString::number(fitted.height()));
    }

    // "3-Kaydet" under a new name; returns the saved file's path.
    QString save() {
        const QString name = QStringLiteral("kucuk-%1.jpg").arg(++saves_);
        ModalAnswerer answer;
        answer.typeFileName(name);
        control<QPushButton>("cmdSaveStdPic")->click();
        if (!answer.done() || !answer.failures().isEmpty())
            qWarning("dialog not answered: %s", qPrintable(answer.failures().join(u';')));
        return home_.path() + u'/' + name;
    }

    // The whole job for a picture that loads: sizes shown, full-size view, shrink, save.
    void wholeJob(const QString& name, QSize size) {
        pick(name);
        QCOMPARE(text("Text6"), QString::number(size.width()));
        QCOMPARE(text("Text7"), QString::number(size.height()));
        viewFullSize(size);
        shrink(size);
        const QString saved = save();
        QCOMPARE(testpics::DecodeJpeg(saved).size(), Fitted(size));
    }

    void expectCannotOpen(const MsgBoxRecorder& boxes, const QString& name) {
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        const RecordedBox& box = boxes.boxes().front();
        QCOMPARE(box.title, QStringLiteral("Project1"));
        QCOMPARE(box.style, int(platform::vbExclamation));
        QCOMPARE(box.prompt, QStringLiteral("Resim dosyası açılamadı: '%1'").arg(path(name)));
    }

    // A file that did not open leaves nothing to view or shrink: the preview does nothing, the shrink
    // asks for a picture first.
    void expectNothingToWorkOn() {
        QVERIFY(text("Text6").isEmpty());
        QVERIFY(text("Text7").isEmpty());
        auto* image2 = control<platform::PictureControl>("Image2");
        QVERIFY(image2->Picture().isEmpty());
        QTest::mouseClick(image2, Qt::LeftButton, {}, image2->rect().center());
        QVERIFY(!form2Shown());
        MsgBoxRecorder boxes;
        control<QPushButton>("Command3")->click();
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        QCOMPARE(boxes.boxes().front().prompt, QStringLiteral("Önce bir resim seçin."));
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid() && home_.isValid());
        const QDir corpus(QString::fromStdString(hostile::Folder().string()));
        for (const QString& name : corpus.entryList(QDir::Files))
            if (name != QStringLiteral("EXPECTED.tsv") && name != QStringLiteral("make_corpus.sh"))
                QVERIFY(QFile::copy(corpus.filePath(name), path(name)));
        testpics::Save(testpics::Gradient(kGoodAfterSize.width(), kGoodAfterSize.height()), path(kGoodAfter));
        qputenv("HOME", QFile::encodeName(home_.path()));

        QVERIFY(openForm());
        control<platform::DirListBox>("Dir1")->setPath(folder_.path());
        QCOMPARE(files()->Path(), folder_.path());
    }
    void cleanupTestCase() { form_.reset(); }

    void eachFileWorksOrSaysSo_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<hostile::Outcome>("outcome");
        QTest::addColumn<QSize>("size");
        for (const hostile::Row& row : hostile::ReadExpected()) {
            if (row.error == 53) continue;  // not in the folder, so not in the list
            const QString name = QString::fromStdString(row.file);
            QTest::newRow(qPrintable(name)) << name << row.outcome << QSize(row.width, row.height);
        }
    }
    void eachFileWorksOrSaysSo() {
        QFETCH(QString, name);
        QFETCH(hostile::Outcome, outcome);
        QFETCH(QSize, size);
        QElapsedTimer clock;
        clock.start();
        {
            MsgBoxRecorder boxes;
            const bool fromList = listed(name);
            if (fromList) {
                pick(name);
            } else {
                openWithDialog(name);
            }
            const bool opened = boxes.empty();
            if (outcome == hostile::Outcome::Error || !opened) {
                QVERIFY2(outcome != hostile::Outcome::Ok, "a good picture was refused");
                expectCannotOpen(boxes, name);
                if (fromList) {
                    expectNothingToWorkOn();
                } else {
                    // The dialog leaves the picture chosen before in place.
                    QCOMPARE(form_->value("dosya_yolu").toString(), path(kGoodAfter));
                }
            } else {
                QCOMPARE(text("Text6"), QString::number(size.width()));
                QCOMPARE(text("Text7"), QString::number(size.height()));
                viewFullSize(size);
                shrink(size);
                const QString saved = save();
                QVERIFY(boxes.empty());
                QCOMPARE(testpics::DecodeJpeg(saved).size(), Fitted(size));
            }
        }
        QVERIFY2(clock.elapsed() < kSecondsPerFile * 1000, qPrintable(QString::number(clock.elapsed())));

        // The window is as good as new.
        MsgBoxRecorder boxes;
        wholeJob(kGoodAfter, kGoodAfterSize);
        QVERIFY(boxes.empty());
        QVERIFY(testmem::PeakMemoryKiB() < kMemoryLimitKiB);
    }
};

TORV_QTEST(TestHostileWindow)
#include "test_hostile_window.moc"
