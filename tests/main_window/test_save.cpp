// "3-Kaydet" and "4-Kalite Kaydet": what the window hands the save dialog, which picture, quality and
// format reach the file, and that a failed save ends in one warning with the window and any existing file
// left as they were. The encoder's and the safe writer's own cases (refusals, times, links, kills, every
// mode) are the engine's; one full disk and one replaced file's mode show here that the window goes through
// them.
#include "image/cDIBSection.h"
#include "jpeg/mIntelJPEGLibrary.h"
#include "platform/controls/HScrollBar.h"
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <sys/stat.h>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

QString FailureText(const QString& path, const QString& reason) {
    return QStringLiteral("Failed to save the picture to the file: '") + path + QStringLiteral("'\n") + reason;
}

}  // namespace

class TestSave : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> home_;  // HOME, so the offered ulk.jpg and every typed name land here
    std::unique_ptr<MsgBoxRecorder> boxes_;

    QString path(const QString& name) const { return home_->path() + u'/' + name; }
    QLineEdit* quality() { return control<QLineEdit>("txtQuality"); }

    // The file the writer itself makes of Picture2's picture at a quality: what a click must produce.
    QByteArray expected(int quality) {
        cDIBSection dib;
        dib.CreateFromPicture(picture2());
        const QString file = path(QStringLiteral("expected.tmp"));
        if (!mIntelJPEGLibrary::WriteJpegFile(dib, file, quality)) return {};
        const QByteArray bytes = testfiles::ReadBytes(file);
        QFile::remove(file);
        return bytes;
    }

private slots:
    void init() {
        home_ = std::make_unique<QTemporaryDir>();
        QVERIFY(home_->isValid());
        qputenv("HOME", QFile::encodeName(home_->path()));
        QVERIFY(openForm(false));
        boxes_ = std::make_unique<MsgBoxRecorder>();
        control<platform::PictureBox>("Picture2")
            ->setPicture(platform::Picture::FromImage(testpics::Noise(400, 300)));
    }
    void cleanup() {
        boxes_.reset();
        form_.reset();
        home_.reset();
    }

    void fullDiskKeepsTheOldFileAndSaysSo() {
        const QString old = path(QStringLiteral("eski.jpg"));
        const QByteArray oldBytes = testfiles::ReadBytes(testpics::Save(testpics::Gradient(200, 150), old));
        QVERIFY(!oldBytes.isEmpty());
        const platform::HBITMAP before = picture2().Handle();
        {
            const testfiles::FileSizeLimit full(16 * 1024);  // the noise's JPEG is far larger
            QVERIFY(full.active());
            ModalAnswerer answer;
            answer.typeFileName(QStringLiteral("eski.jpg"));
            answer.answerMessageBox(QMessageBox::Yes);  // replace it
            control<QPushButton>("cmdSaveStdPic")->click();
            QVERIFY(answer.done() && answer.failures().isEmpty());
        }
        expectWarning(*boxes_, FailureText(old, QStringLiteral("Diskte yer kalmadı.")));
        QCOMPARE(picture2().Handle(), before);
        QCOMPARE(testfiles::ReadBytes(old), oldBytes);
        QCOMPARE(testfiles::FilesIn(home_->path()), QStringList{QStringLiteral("eski.jpg")});
    }

    // The engine's reason for a refusal reaches the message's second line.
    void refusalSaysWhy_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a pipe") << "boru.jpg" << "Bu ad düz bir dosyanın değil (aygıt, boru ya da soket).";
        QTest::newRow("read-only") << "salt.jpg" << "Dosya salt okunur.";
    }
    void refusalSaysWhy() {
        QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("boru.jpg"))).constData(), 0600), 0);
        QVERIFY(!testfiles::WriteBytes(path(QStringLiteral("salt.jpg")), "x").isEmpty());
        QVERIFY(QFile::setPermissions(path(QStringLiteral("salt.jpg")), QFile::ReadOwner));
        QFETCH(QString, typed);
        ModalAnswerer answer;
        answer.typeFileName(path(typed));
        answer.answerMessageBox(QMessageBox::Yes);
        control<QPushButton>("cmdSaveStdPic")->click();
        QFETCH(QString, reason);
        expectWarning(*boxes_, FailureText(path(typed), reason));
    }

    void aSaveSaysWhatItWroteAndIsRememberedNextTime() {
        saveAs("cmdSaveStdPic", QStringLiteral("sonuc.jpg"));
        auto* notice = control<QLabel>("SaveNotice");
        QVERIFY(!notice->isHidden());
        const qint64 kb = (QFileInfo(path(QStringLiteral("sonuc.jpg"))).size() + 1023) / 1024;
        QCOMPARE(notice->text(), QStringLiteral("Kaydedildi: sonuc.jpg (400 × 300 piksel, %1 KB)").arg(kb));
        QTRY_VERIFY_WITH_TIMEOUT(notice->isHidden(), 6000);
        // Another window, another HOME: the dialog still opens where the last save went.
        const QString saved = home_->path();
        QTemporaryDir other;
        qputenv("HOME", QFile::encodeName(other.path()));
        QVERIFY(openForm(false));
        control<platform::PictureBox>("Picture2")->setPicture(platform::Picture::FromImage(testpics::Noise(40, 30)));
        QString folder;
        ModalAnswerer answer;
        answer.inspectFileDialog([&](QFileDialog* dialog) { folder = dialog->directory().absolutePath(); });
        answer.cancel();
        control<QPushButton>("cmdSaveStdPic")->click();
        QVERIFY(answer.done());
        QCOMPARE(folder, saved);
    }

    void dialogArguments_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("longHome");
        QTest::newRow("3-Kaydet") << "cmdSaveStdPic" << false;
        QTest::newRow("4-Kalite Kaydet") << "cmdSaveQualityPic" << false;
        // The whole offered path would not fit the dialog's buffer: the home goes as its folder instead.
        QTest::newRow("home too long for the buffer") << "cmdSaveStdPic" << true;
    }
    void dialogArguments() {
        QFETCH(QString, button);
        QFETCH(bool, longHome);
        QString home = home_->path();
        while (longHome && home.size() <= 260) home += QStringLiteral("/klasor_") + QString(40, u'k');
        QVERIFY(QDir().mkpath(home));
        qputenv("HOME", QFile::encodeName(home));
        QString offered, folder;
        QStringList types;
        QObject* owner = nullptr;
        ModalAnswerer answer;
        answer.inspectFileDialog([&](QFileDialog* dialog) {
            offered = ModalAnswerer::TypedName(dialog);
            folder = dialog->directory().absolutePath();
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; i < combo->count(); ++i) types << combo->itemText(i);
            owner = dialog->parent();
        });
        answer.cancel();
        control<QPushButton>(qPrintable(button))->click();
        QVERIFY2(answer.done() && answer.failures().isEmpty(), qPrintable(answer.failures().join(u';')));
        QVERIFY(boxes_->empty());
        QCOMPARE(offered, QStringLiteral("ulk.jpg"));
        QCOMPARE(folder, QDir(home).absolutePath());
        QCOMPARE(types,
                 QStringList({"JPEG Files (*.JPG)", "PNG Files (*.PNG)", "WebP Files (*.WEBP)", "All Files (*.*)"}));
        QCOMPARE(owner, form_.get());
    }

    void cancelWritesNothingShowsNothingReadsNoQuality() {
        quality()->setText(QString());  // read too early, it would turn into "90"
        for (const char* button : {"cmdSaveStdPic", "cmdSaveQualityPic"}) {
            ModalAnswerer answer;
            answer.cancel();
            control<QPushButton>(button)->click();
            QVERIFY(answer.done());
        }
        QVERIFY(boxes_->empty());
        QCOMPARE(testfiles::FilesIn(home_->path()), QStringList());
        QCOMPARE(quality()->text(), QString());
    }

    void standardSaveWritesPicture2AtQuality90UnderTheNameChosen_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("file");
        QTest::newRow("no extension") << 1 << "out" << "out.JPG";
        QTest::newRow("all files, a .bmp name") << 4 << "resim.bmp" << "resim.bmp";
    }
    void standardSaveWritesPicture2AtQuality90UnderTheNameChosen() {
        QFETCH(int, filter);
        QFETCH(QString, typed);
        quality()->setText(QStringLiteral("20"));  // not this button's business
        ModalAnswerer answer;
        answer.selectFilter(filter);
        answer.typeFileName(typed);
        control<QPushButton>("cmdSaveStdPic")->click();
        QVERIFY(answer.done() && answer.failures().isEmpty());
        QVERIFY(boxes_->empty());
        QFETCH(QString, file);
        QCOMPARE(testfiles::FilesIn(home_->path()), QStringList{file});
        QCOMPARE(testfiles::ReadBytes(path(file)), expected(90));
        QCOMPARE(quality()->text(), QStringLiteral("20"));
    }

    // A name typed with .png saves Picture2's very pixels as a PNG, whatever type the list shows.
    void aPngNameSavesAPng() {
        ModalAnswerer answer;
        answer.typeFileName(QStringLiteral("deneme.png"));
        control<QPushButton>("cmdSaveQualityPic")->click();
        QVERIFY(answer.done() && answer.failures().isEmpty());
        QVERIFY(boxes_->empty());
        const QByteArray png = testfiles::ReadBytes(path(QStringLiteral("deneme.png")));
        QCOMPARE(png.mid(1, 3), QByteArray("PNG"));
        QCOMPARE(QImage::fromData(png).convertToFormat(QImage::Format_RGB32),
                 picture2().pixels().convertToFormat(QImage::Format_RGB32));
    }

    // A PNG or WebP keeps what is see-through, as the batch's results do; a JPEG lays it on white. A name
    // typed without an extension gets the chosen type's format and extension.
    void transparencyIsKeptInPngAndWebp_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("kept");
        QTest::newRow("PNG chosen") << 2 << "saydam" << "saydam.png" << true;
        QTest::newRow("WebP by name") << 1 << "saydam.webp" << "saydam.webp" << true;
        QTest::newRow("JPEG") << 1 << "saydam" << "saydam.JPG" << false;
    }
    void transparencyIsKeptInPngAndWebp() {
        QImage source(800, 400, QImage::Format_ARGB32);
        source.fill(Qt::transparent);
        QPainter(&source).fillRect(400, 0, 400, 400, Qt::red);
        control<platform::PictureBox>("Picture1")->setPicture(platform::LoadPicture(testpics::Save(source, path("k.png"))));
        shrink();
        QFETCH(int, filter);
        QFETCH(QString, typed);
        saveAs("cmdSaveStdPic", typed, filter);
        QFETCH(QString, file);
        QFETCH(bool, kept);
        const QImage saved(path(file));
        QCOMPARE(saved.size(), QSize(400, 200));
        const QRgb clear = saved.pixel(100, 100), red = saved.pixel(300, 100);
        QVERIFY(kept ? qAlpha(clear) == 0 : qAlpha(clear) == 255 && qRed(clear) > 250 && qBlue(clear) > 250);
        QVERIFY(qAlpha(red) == 255 && qRed(red) > 240 && qGreen(red) < 15 && qBlue(red) < 15);
    }

    // Beside the slider: the size "4-Kalite Kaydet" would write at the slider's quality, as it moves.
    void theSizeAtTheSlidersQualityShowsBesideIt() {
        auto* label = control<QLabel>("estimatedSizeLabel");
        control<platform::PictureBox>("Picture1")->setPicture(platform::LoadPicture(testpics::Save(testpics::Noise(1024, 768), path("k.png"))));
        const auto text = [&](int quality) { return QStringLiteral("≈ %1 KB").arg((expected(quality).size() + 1023) / 1024); };
        QVERIFY(!label->isVisibleTo(form_.get()));
        shrink();
        const QString at99 = text(99), at40 = text(40);
        QTRY_VERIFY(label->isVisibleTo(form_.get()) && label->text() == at99);
        control<platform::HScrollBar>("HScroll1")->setValue(40);
        QTRY_COMPARE(label->text(), at40);
        // Another picture: no result, and no size.
        openWithDialog(path(QStringLiteral("k.png")));
        QVERIFY(!label->isVisibleTo(form_.get()));
    }

    void qualitySaveReadsTheBoxOnceTheDialogCloses_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("slideTo");  // the slider moved while the dialog is open; 0: left alone
        QTest::addColumn<int>("used");
        QTest::addColumn<QString>("shownAfter");
        QTest::newRow("slider moved") << "20" << 75 << 75 << "75";
        QTest::newRow("empty box") << "" << 0 << 90 << "90";
    }
    void qualitySaveReadsTheBoxOnceTheDialogCloses() {
        QFETCH(QString, before);
        QFETCH(int, slideTo);
        quality()->setText(before);
        ModalAnswerer answer;
        answer.inspectFileDialog([&](QFileDialog*) {
            if (slideTo) control<platform::HScrollBar>("HScroll1")->setValue(slideTo);
        });
        answer.typeFileName(QStringLiteral("q.jpg"));
        control<QPushButton>("cmdSaveQualityPic")->click();
        QVERIFY(answer.done() && answer.failures().isEmpty());
        QVERIFY(boxes_->empty());
        QFETCH(int, used);
        QCOMPARE(testfiles::ReadBytes(path(QStringLiteral("q.jpg"))), expected(used));
        QTEST(quality()->text(), "shownAfter");
    }

    void replacingAfterTheQuestionKeepsTheMode() {
        const QString old = path(QStringLiteral("old.jpg"));
        QVERIFY(!testfiles::WriteBytes(old, "old contents").isEmpty());
        QVERIFY(QFile::setPermissions(old, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        ModalAnswerer answer;
        QString question;
        answer.typeFileName(QStringLiteral("old.jpg"));
        answer.answerMessageBox(QMessageBox::Yes, &question);
        control<QPushButton>("cmdSaveStdPic")->click();
        QVERIFY(answer.done() && answer.failures().isEmpty());
        QVERIFY(question.contains(QStringLiteral("old.jpg")));
        QVERIFY(boxes_->empty());
        QCOMPARE(testfiles::ReadBytes(old), expected(90));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(old).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
    }

    // A save with no shrunk result, before any shrink or after another picture was picked, says so before
    // any dialog and writes nothing.
    void withoutAShrunkResultSaysSoFirst() {
        const QString first = testpics::Save(testpics::Gradient(64, 48), path(QStringLiteral("a.png")));
        const QString second = testpics::Save(testpics::Gradient(48, 64), path(QStringLiteral("b.png")));
        for (const bool afterAnotherPick : {false, true}) {
            if (afterAnotherPick) {
                form_->PickPicture(first);
                shrink();
                QVERIFY(!picture2().isEmpty());
                form_->PickPicture(second);
                QCOMPARE(text("Text3") + text("Text4") + text("Text5"), QString());
            } else {
                control<platform::PictureBox>("Picture2")->setPicture(platform::Picture());
            }
            boxes_->clear();
            control<QPushButton>("cmdSaveStdPic")->click();  // no dialog may open: none is answered
            expectWarning(*boxes_, QStringLiteral("Önce resmi küçültün."));
            QCOMPARE(testfiles::FilesIn(home_->path()), (QStringList{"a.png", "b.png"}));
        }
    }
};

TORV_QTEST(TestSave)
#include "test_save.moc"
