// "3-Kaydet" when the save cannot finish: the disk fills in the middle of the write, or the name chosen
// is a folder's. The existing file stays byte for byte, no temporary file is left, and the user is told.
#include "main_window/Form1.h"
#include "platform/controls/PictureBox.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/MsgBoxRecorder.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// The child's files may not grow past this.
constexpr long kFileSizeLimit = 16 * 1024;
const QString kOldName = QStringLiteral("eski.jpg");

QString FailureText(const QString& path) {
    return QStringLiteral("Failed to save the picture to the file: '") + path + u'\'';
}

// The window with a noisy shrink result in Picture2: its JPEG is far larger than kFileSizeLimit.
struct Window {
    Window() {
        form = std::make_unique<Form1>(server.base());
        picture2 = form->findChild<platform::PictureBox*>(QStringLiteral("Picture2"));
        save = form->findChild<QPushButton*>(QStringLiteral("cmdSaveStdPic"));
        if (!picture2 || !save) qFatal("controls missing");
        picture2->setPicture(platform::Picture::FromImage(testpics::Noise(400, 300)));
    }
    LoopbackHttpServer server{LoopbackHttpServer::Mode::Silent};
    std::unique_ptr<Form1> form;
    platform::PictureBox* picture2 = nullptr;
    QPushButton* save = nullptr;
};

// The child's part: saves over the old file in folder, which is its home, and says what it saw.
int SaveOverOldFile(const QString& folder, std::string& report) {
    qputenv("HOME", QFile::encodeName(folder));
    Window w;
    MsgBoxRecorder boxes;
    ModalAnswerer answer;
    answer.typeFileName(kOldName);
    answer.answerMessageBox(QMessageBox::Yes);  // replace it
    w.save->click();
    const QStringList faults = answer.faults() + boxes.oneBoxFaults(FailureText(folder + u'/' + kOldName));
    report = faults.join(u'\n').toStdString();
    return faults.isEmpty() ? 0 : 1;
}

}  // namespace

class TestSaveFaults : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> home_;
    QByteArray old_;  // the old file's bytes

    QString path(const QString& name) const { return home_->path() + u'/' + name; }

private slots:
    void init() {
        home_ = std::make_unique<QTemporaryDir>();
        QVERIFY(home_->isValid());
        old_ = testfiles::ReadBytes(testpics::Save(testpics::Gradient(200, 150), path(kOldName)));
        QVERIFY(!old_.isEmpty());
        qputenv("HOME", QFile::encodeName(home_->path()));
    }
    void cleanup() { home_.reset(); }

    void fullDiskKeepsTheOldFileAndSaysSo() {
        const QString folder = home_->path();
        const testchild::Outcome outcome = testchild::RunInChild(
            [&](std::string& report) { return SaveOverOldFile(folder, report); },
            testchild::Options{kFileSizeLimit, false});
        QVERIFY2(outcome.exited, qPrintable(QStringLiteral("signal %1").arg(outcome.signal)));
        QVERIFY2(outcome.exitCode == 0, outcome.report.c_str());
        QCOMPARE(testfiles::ReadBytes(path(kOldName)), old_);
        QCOMPARE(testfiles::FilesIn(home_->path()), QStringList{kOldName});
    }

    void folderNameIsOpenedNotWritten() {
        // The dialog takes a folder's name as the wish to look inside it, so no save is tried: the
        // folder and the file beside it stay as they were, and nothing needs saying.
        QVERIFY(QDir(home_->path()).mkdir(QStringLiteral("klasor.jpg")));
        Window w;
        MsgBoxRecorder boxes;
        QString shown;
        ModalAnswerer answer;
        answer.typeFileName(QStringLiteral("klasor.jpg"));
        answer.onModal(
            "file dialog inside the folder", [](QWidget* d) { return qobject_cast<QFileDialog*>(d); },
            [&](QWidget* d) { shown = qobject_cast<QFileDialog*>(d)->directory().absolutePath(); });
        answer.cancel();
        w.save->click();
        QVERIFY2(answer.failures().isEmpty(), qPrintable(answer.failures().join(u';')));
        QVERIFY(answer.done());
        QCOMPARE(shown, QDir(path(QStringLiteral("klasor.jpg"))).absolutePath());
        QVERIFY(boxes.empty());
        QVERIFY(QFileInfo(path(QStringLiteral("klasor.jpg"))).isDir());
        QCOMPARE(testfiles::FilesIn(path(QStringLiteral("klasor.jpg"))), QStringList());
        QCOMPARE(testfiles::FilesIn(home_->path()), QStringList{kOldName});
        QCOMPARE(testfiles::ReadBytes(path(kOldName)), old_);
    }
};

TORV_QTEST(TestSaveFaults)
#include "test_save_faults.moc"
