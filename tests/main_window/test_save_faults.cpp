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
#include <cstdio>
#include <memory>

namespace {

// Run as `test_save_faults --save-over <folder>` in a child whose files may not grow past kFileSizeLimit.
constexpr const char* kChildSwitch = "--save-over";
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
int SaveOverOldFile(const QString& folder) {
    qputenv("HOME", QFile::encodeName(folder));
    Window w;
    MsgBoxRecorder boxes;
    ModalAnswerer answer;
    answer.typeFileName(kOldName);
    answer.answerMessageBox(QMessageBox::Yes);  // replace it
    w.save->click();
    const QStringList faults = answer.faults() + boxes.oneBoxFaults(FailureText(folder + u'/' + kOldName));
    for (const QString& fault : faults) std::fprintf(stderr, "child: %s\n", qPrintable(fault));
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
        // A fresh copy of this program, so the window in the child starts its own threads and files.
        const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
        const QByteArray folder = QFile::encodeName(home_->path());
        const testchild::Outcome outcome = testchild::RunInChild(
            [&](std::string&) {
                ::execl(program.constData(), program.constData(), kChildSwitch, folder.constData(),
                        static_cast<char*>(nullptr));
                return testchild::kSetupFailed;
            },
            testchild::Options{kFileSizeLimit, false});
        QVERIFY2(outcome.exited, qPrintable(QStringLiteral("signal %1").arg(outcome.signal)));
        QCOMPARE(outcome.exitCode, 0);
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

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kChildSwitch) == 0)
        return SaveOverOldFile(QString::fromLocal8Bit(argv[2]));
    TestSaveFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_save_faults.moc"
