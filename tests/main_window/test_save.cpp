// "3-Kaydet" and "4-Kalite Kaydet": what the dialog offers, what lands on disk and at which quality,
// and that every failure ends in one warning with the window and any existing file left as they were.
#include "image/cDIBSection.h"
#include "jpeg/mIntelJPEGLibrary.h"
#include "main_window/Form1.h"
#include "platform/controls/HScrollBar.h"
#include "platform/controls/PictureBox.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/MsgBoxRecorder.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool IsJpegData(const QString& path) { return ReadAll(path).startsWith("\xFF\xD8\xFF"); }

// The window with its controls found by name; HOME points at a folder of its own, so the offered
// ulk.jpg and every name typed into the dialog land there.
struct SaveWindow {
    explicit SaveWindow(const QString& home) {
        qputenv("HOME", QFile::encodeName(home));
        form = std::make_unique<Form1>(server.base());
        picture2 = form->findChild<platform::PictureBox*>(QStringLiteral("Picture2"));
        quality = form->findChild<QLineEdit*>(QStringLiteral("txtQuality"));
        slider = form->findChild<platform::HScrollBar*>(QStringLiteral("HScroll1"));
        saveStd = form->findChild<QPushButton*>(QStringLiteral("cmdSaveStdPic"));
        saveQuality = form->findChild<QPushButton*>(QStringLiteral("cmdSaveQualityPic"));
        if (!picture2 || !quality || !slider || !saveStd || !saveQuality) qFatal("controls missing");
    }

    LoopbackHttpServer server{LoopbackHttpServer::Mode::Silent};
    std::unique_ptr<Form1> form;
    platform::PictureBox* picture2 = nullptr;
    QLineEdit* quality = nullptr;
    platform::HScrollBar* slider = nullptr;
    QPushButton* saveStd = nullptr;
    QPushButton* saveQuality = nullptr;
};

QString FailureText(const QString& path) {
    return QStringLiteral("Failed to save the picture to the file: '") + path + u'\'';
}

// The child's half of the permission test; reports what went wrong and returns nonzero.
int SaveIntoUnwritableFolder(const QString& folder, std::string& report) {
    if (QFileInfo(folder).isWritable()) {
        report = "child can still write into " + folder.toStdString();
        return 2;
    }
    SaveWindow w(folder);
    MsgBoxRecorder boxes;
    ModalAnswerer answer;
    w.picture2->setPicture(platform::Picture::FromImage(testpics::Gradient(120, 90)));
    const platform::HBITMAP before = w.picture2->Picture().Handle();
    answer.typeFileName(QStringLiteral("out"));
    w.saveQuality->click();

    QStringList faults =
        answer.faults() +
        boxes.oneBoxFaults(FailureText(folder + QStringLiteral("/out.JPG")), platform::vbExclamation);
    if (QDir(folder).entryList(QDir::Files | QDir::Hidden).size() != 0)
        faults << QStringLiteral("files left");
    if (w.picture2->Picture().Handle() != before) faults << QStringLiteral("Picture2 changed");
    if (w.quality->text() != QStringLiteral("99")) faults << w.quality->text();
    if (!w.form->isEnabled()) faults << QStringLiteral("window disabled");
    report = faults.join(u'\n').toStdString();
    return faults.isEmpty() ? 0 : 1;
}

}  // namespace

class TestSave : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<SaveWindow> w_;
    std::unique_ptr<MsgBoxRecorder> boxes_;

    QString Path(const QString& name) const { return home_->path() + u'/' + name; }

    // The file the writer itself makes of Picture2's picture at a quality: what a click must produce.
    QByteArray Expected(int quality) {
        cDIBSection dib;
        dib.CreateFromPicture(w_->picture2->Picture());
        const QString path = Path(QStringLiteral("expected.tmp"));
        if (!mIntelJPEGLibrary::WriteJpegFile(dib, path, quality)) return {};
        QByteArray bytes = ReadAll(path);
        QFile::remove(path);
        return bytes;
    }

    void ExpectAnswered(const ModalAnswerer& answer) {
        QVERIFY2(answer.failures().isEmpty(), qPrintable(answer.failures().join(u'\n')));
        QVERIFY(answer.done());
    }

    // Clicks a save button, typing name into the dialog.
    void SaveAs(QPushButton* button, const QString& name) {
        ModalAnswerer answer;
        answer.typeFileName(name);
        button->click();
        ExpectAnswered(answer);
    }

private slots:
    void init() {
        home_ = std::make_unique<QTemporaryDir>();
        QVERIFY(home_->isValid());
        w_ = std::make_unique<SaveWindow>(home_->path());
        boxes_ = std::make_unique<MsgBoxRecorder>();
        w_->picture2->setPicture(platform::Picture::FromImage(testpics::Gradient(400, 300)));
    }
    void cleanup() {
        boxes_.reset();
        w_.reset();
        home_.reset();
    }

    void dialogOffersUlkJpgAtHomeWithTheTwoFilters() {
        for (QPushButton* button : {w_->saveStd, w_->saveQuality}) {
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
            button->click();
            ExpectAnswered(answer);
            QCOMPARE(offered, QStringLiteral("ulk.jpg"));
            QCOMPARE(folder, QDir(home_->path()).absolutePath());
            QCOMPARE(types, QStringList({"JPEG Files (*.JPG)", "All Files (*.*)"}));
            QCOMPARE(owner, w_->form.get());
        }
    }

    void aHomeTooLongForTheBufferIsOfferedAsTheFolder() {
        // The full offered path would not fit the dialog's buffer: the dialog opens there all the same.
        QString deep = home_->path();
        while (deep.size() <= 260) deep += QStringLiteral("/klasor_") + QString(40, u'k');
        QVERIFY(QDir().mkpath(deep));
        qputenv("HOME", QFile::encodeName(deep));
        QString offered, folder;
        ModalAnswerer answer;
        answer.inspectFileDialog([&](QFileDialog* dialog) {
            offered = ModalAnswerer::TypedName(dialog);
            folder = dialog->directory().absolutePath();
        });
        answer.cancel();
        w_->saveStd->click();
        ExpectAnswered(answer);
        QVERIFY(boxes_->empty());
        QCOMPARE(offered, QStringLiteral("ulk.jpg"));
        QCOMPARE(folder, QDir(deep).absolutePath());
    }

    void cancelWritesNothingShowsNothingReadsNoQuality() {
        w_->quality->setText(QString());  // read too early, it would turn into "90"
        for (QPushButton* button : {w_->saveStd, w_->saveQuality}) {
            ModalAnswerer answer;
            answer.cancel();
            button->click();
            ExpectAnswered(answer);
        }
        QVERIFY(boxes_->empty());
        QCOMPARE(QDir(home_->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(w_->quality->text(), QString());
    }

    void nameWithoutExtensionGetsJpg() {
        SaveAs(w_->saveStd, QStringLiteral("out"));
        QVERIFY(boxes_->empty());
        QVERIFY(IsJpegData(Path(QStringLiteral("out.JPG"))));
        QVERIFY(!QFileInfo::exists(Path(QStringLiteral("out"))));
    }

    void allFilesWithBmpNameStillWritesJpeg() {
        ModalAnswerer answer;
        answer.selectFilter(2);
        answer.typeFileName(QStringLiteral("resim.bmp"));
        w_->saveStd->click();
        ExpectAnswered(answer);
        QVERIFY(boxes_->empty());
        const QString path = Path(QStringLiteral("resim.bmp"));
        QVERIFY(IsJpegData(path));
        QCOMPARE(testpics::DecodeJpeg(path).size(), QSize(400, 300));
    }

    void standardSaveWritesPicture2AtQuality90() {
        w_->quality->setText(QStringLiteral("20"));  // not this button's business
        SaveAs(w_->saveStd, QStringLiteral("std.jpg"));
        QVERIFY(boxes_->empty());
        const QString path = Path(QStringLiteral("std.jpg"));
        const QImage written = testpics::DecodeJpeg(path);
        QCOMPARE(written.size(), QSize(400, 300));
        const double psnr = testpics::Psnr(w_->picture2->Picture().pixels(), written);
        QVERIFY2(psnr > 38.0, qPrintable(QString::number(psnr)));
        QCOMPARE(ReadAll(path), Expected(90));
        QCOMPARE(w_->quality->text(), QStringLiteral("20"));
        // The same pixels again without a new shrink.
        SaveAs(w_->saveStd, QStringLiteral("again.jpg"));
        QCOMPARE(ReadAll(Path(QStringLiteral("again.jpg"))), ReadAll(path));
    }

    void qualitySaveFollowsTheSlider() {
        w_->picture2->setPicture(platform::Picture::FromImage(testpics::Noise(400, 300)));
        w_->slider->setValue(99);
        SaveAs(w_->saveQuality, QStringLiteral("q99.jpg"));
        w_->slider->setValue(20);
        SaveAs(w_->saveQuality, QStringLiteral("q20.jpg"));
        QVERIFY(boxes_->empty());
        const QByteArray high = ReadAll(Path(QStringLiteral("q99.jpg")));
        const QByteArray low = ReadAll(Path(QStringLiteral("q20.jpg")));
        QCOMPARE(high, Expected(99));
        QCOMPARE(low, Expected(20));
        QVERIFY2(high.size() > 2 * low.size(),
                 qPrintable(QStringLiteral("%1 vs %2").arg(high.size()).arg(low.size())));
    }

    void qualityIsReadAfterTheDialogCloses() {
        w_->slider->setValue(20);
        ModalAnswerer answer;
        answer.inspectFileDialog([this](QFileDialog*) { w_->slider->setValue(75); });
        answer.typeFileName(QStringLiteral("late.jpg"));
        w_->saveQuality->click();
        ExpectAnswered(answer);
        QCOMPARE(ReadAll(Path(QStringLiteral("late.jpg"))), Expected(75));
    }

    void qualityTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("used");
        QTest::addColumn<QString>("shownAfter");
        QTest::newRow("empty") << QString() << 90 << QStringLiteral("90");
        QTest::newRow("not a number") << QStringLiteral("abc") << 90 << QStringLiteral("90");
        QTest::newRow("beyond 32 bits") << QStringLiteral("3000000000") << 90 << QStringLiteral("90");
        QTest::newRow("75") << QStringLiteral("75") << 75 << QStringLiteral("75");
        QTest::newRow("150 unchecked") << QStringLiteral("150") << 150 << QStringLiteral("150");
        QTest::newRow("half to even") << QLocale().toString(62.5) << 62 << QLocale().toString(62.5);
    }
    void qualityTexts() {
        QFETCH(QString, text);
        QFETCH(int, used);
        QFETCH(QString, shownAfter);
        w_->quality->setText(text);
        SaveAs(w_->saveQuality, QStringLiteral("q.jpg"));
        QVERIFY(boxes_->empty());
        QCOMPARE(ReadAll(Path(QStringLiteral("q.jpg"))), Expected(used));
        QCOMPARE(w_->quality->text(), shownAfter);
    }

    void replacingKeepsModeAndTimes() {
        const QString path = Path(QStringLiteral("old.jpg"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old contents");
        }
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        const QDateTime then = QDateTime::fromString(QStringLiteral("2001-02-03T04:05:06Z"), Qt::ISODate);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(then, QFileDevice::FileModificationTime));
        }
        ModalAnswerer answer;
        QString question;
        answer.typeFileName(QStringLiteral("old.jpg"));
        answer.answerMessageBox(QMessageBox::Yes, &question);
        w_->saveStd->click();
        ExpectAnswered(answer);
        QVERIFY(question.contains(QStringLiteral("old.jpg")));
        QVERIFY(boxes_->empty());
        QCOMPARE(ReadAll(path), Expected(90));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
        QCOMPARE(QFileInfo(path).lastModified().toUTC(), then);
    }

    void beforeAnyShrinkWarnsAndKeepsAnExistingFile() {
        w_->picture2->setPicture(platform::Picture());
        const QString path = Path(QStringLiteral("keep.jpg"));
        const QByteArray original = ReadAll(testpics::Save(testpics::Gradient(64, 48), path));
        QVERIFY(!original.isEmpty());
        ModalAnswerer answer;
        answer.typeFileName(QStringLiteral("keep.jpg"));
        answer.answerMessageBox(QMessageBox::Yes);
        w_->saveStd->click();
        ExpectAnswered(answer);
        QCOMPARE(boxes_->boxes().size(), std::size_t(1));
        QCOMPARE(boxes_->boxes()[0].prompt, FailureText(path));
        QCOMPARE(boxes_->boxes()[0].style, int(platform::vbExclamation));
        QCOMPARE(boxes_->boxes()[0].title, QStringLiteral("Project1"));
        QCOMPARE(ReadAll(path), original);
        QCOMPARE(QDir(home_->path()).entryList(QDir::Files | QDir::Hidden), QStringList({"keep.jpg"}));
        // Nothing was in the way of the next try.
        w_->picture2->setPicture(platform::Picture::FromImage(testpics::Gradient(40, 30)));
        SaveAs(w_->saveStd, QStringLiteral("next.jpg"));
        QCOMPARE(boxes_->boxes().size(), std::size_t(1));
        QVERIFY(IsJpegData(Path(QStringLiteral("next.jpg"))));
    }

    void unwritableFolderWarnsAndKeepsTheWindow() {
        // Root writes anywhere, so the save runs in a child that has dropped to nobody.
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                              QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(home_->path(), readOnly));
        const QString folder = home_->path();
        testchild::Options options;
        options.dropToNobody = ::geteuid() == 0;
        const testchild::Outcome outcome = testchild::RunInChild(
            [&](std::string& report) { return SaveIntoUnwritableFolder(folder, report); }, options);
        QFile::setPermissions(home_->path(), readOnly | QFile::WriteOwner);
        QVERIFY2(outcome.exited && outcome.exitCode == 0, outcome.report.c_str());
    }
};

TORV_QTEST(TestSave)
#include "test_save.moc"
