// Files and folders that change under the main window: a picture overwritten or deleted after it was
// loaded and before the full-size view, and a folder deleted while the lists show it. Each ends in a
// message where the user asked for the file, and the shrink and save go on with what was loaded.
#include "main_window/Form1.h"
#include "platform/controls/DirListBox.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/MsgBoxRecorder.h"
#include "tests/support/TestPictures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include "tests/support/QtTests.h"

#include <QTest>
#include <memory>

class TestVanishingFiles : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QTemporaryDir> home_;
    QString folder_;  // a folder of pictures inside dir_
    platform::DirListBox* folders() { return control<platform::DirListBox>("Dir1"); }
    void expectOneBox(const MsgBoxRecorder& boxes, const QString& prompt) {
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        QCOMPARE(boxes.boxes().front().prompt, prompt);
        QCOMPARE(boxes.boxes().front().title, QStringLiteral("Project1"));
        QCOMPARE(boxes.boxes().front().style, int(platform::vbExclamation));
    }
    static QString cannotOpen(const QString& path) {
        return QStringLiteral("Resim dosyası açılamadı: '%1'").arg(path);
    }
    // "2-Küçült" into 400 x 400 and "3-Kaydet" as name; the saved file's size, or an empty size.
    QSize shrinkAndSave(const QString& name) {
        control<QLineEdit>("Text1")->setText(QStringLiteral("400"));
        control<QLineEdit>("Text2")->setText(QStringLiteral("400"));
        control<QPushButton>("Command3")->click();
        ModalAnswerer answer;
        answer.typeFileName(name);
        control<QPushButton>("cmdSaveStdPic")->click();
        if (!answer.done() || !answer.failures().isEmpty()) return {};
        return testpics::DecodeJpeg(home_->path() + u'/' + name).size();
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        home_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid() && home_->isValid());
        qputenv("HOME", QFile::encodeName(home_->path()));
        folder_ = testpics::WriteFolder(dir_->filePath(QStringLiteral("resimler")),
                                        {{"a.jpg", {800, 600}}, {"b.png", {300, 200}}});
        QVERIFY(openForm());
        folders()->setPath(folder_);
        QCOMPARE(files()->ListCount(), 2);
    }
    void cleanup() {
        form_.reset();
        home_.reset();
        dir_.reset();
    }

    void pictureChangedAfterLoading_data() {
        QTest::addColumn<bool>("removed");
        QTest::newRow("deleted") << true;
        QTest::newRow("overwritten with garbage") << false;
    }
    void pictureChangedAfterLoading() {
        QFETCH(bool, removed);
        const QString path = folder_ + QStringLiteral("/a.jpg");
        select(QStringLiteral("a.jpg"));
        QCOMPARE(text("Text6"), QStringLiteral("800"));
        if (removed) {
            QVERIFY(QFile::remove(path));
        } else {
            testpics::WriteBytes(QByteArray(5000, 'x'), path);
        }
        MsgBoxRecorder boxes;
        clickPreview();
        expectOneBox(boxes, cannotOpen(path));
        QVERIFY(!form2() || !form2()->isVisible());
        // The picture already loaded is still the one shown, shrunk and saved.
        QCOMPARE(control<platform::PictureControl>("Image2")->Picture().pixelSize(), QSize(800, 600));
        QCOMPARE(shrinkAndSave(QStringLiteral("kucuk.jpg")), QSize(400, 300));
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        // Enter in the list asks for the same file: the same message again, and the window stays usable.
        files()->setFocus();
        QTest::keyClick(files(), Qt::Key_Return);
        QCOMPARE(boxes.boxes().size(), std::size_t(2));
        select(QStringLiteral("b.png"));
        clickPreview();
        QVERIFY(form2() && form2()->isVisible());
        QTest::keyClick(form2(), Qt::Key_Escape);
        QCOMPARE(boxes.boxes().size(), std::size_t(2));
    }

    void folderDeletedWhileShown() {
        select(QStringLiteral("b.png"));
        QCOMPARE(shrinkAndSave(QStringLiteral("once.jpg")), QSize(300, 200));
        QVERIFY(QDir(folder_).removeRecursively());

        // A click on an entry whose file is gone: the message, and nothing left to view or shrink.
        MsgBoxRecorder boxes;
        select(QStringLiteral("a.jpg"));
        expectOneBox(boxes, cannotOpen(folder_ + QStringLiteral("/a.jpg")));
        QVERIFY(text("Text6").isEmpty());
        clickPreview();
        QVERIFY(!form2() || !form2()->isVisible());
        control<QPushButton>("Command3")->click();
        QCOMPARE(boxes.boxes().size(), std::size_t(2));
        QCOMPARE(boxes.boxes().back().prompt, QStringLiteral("Önce bir resim seçin."));
        // The earlier shrink's result is still there to save.
        ModalAnswerer answer;
        answer.typeFileName(QStringLiteral("again.jpg"));
        control<QPushButton>("cmdSaveStdPic")->click();
        QVERIFY(answer.done() && answer.failures().isEmpty());
        QCOMPARE(testpics::DecodeJpeg(home_->path() + QStringLiteral("/again.jpg")).size(), QSize(300, 200));
        QCOMPARE(boxes.boxes().size(), std::size_t(2));

        // Refreshing the lists shows the folder empty; its parent can still be opened from the list.
        files()->Refresh();
        folders()->Refresh();
        QCOMPARE(files()->ListCount(), 0);
        const auto parent = folders()->findItems(QDir(dir_->path()).dirName(), Qt::MatchEndsWith);
        QCOMPARE(parent.size(), 1);
        folders()->setCurrentItem(parent.first());
        QTest::keyClick(folders(), Qt::Key_Return);
        QCOMPARE(folders()->Path(), QDir(dir_->path()).absolutePath());
        QCOMPARE(files()->Path(), QDir(dir_->path()).absolutePath());
        QCOMPARE(boxes.boxes().size(), std::size_t(2));
    }

    void listedFolderDeletedBeforeOpening() {
        const QString sub = folder_ + QStringLiteral("/alt");
        QVERIFY(QDir().mkdir(sub));
        folders()->Refresh();
        const auto entry = folders()->findItems(QStringLiteral("alt"), Qt::MatchEndsWith);
        QCOMPARE(entry.size(), 1);
        QVERIFY(QDir(sub).removeRecursively());

        MsgBoxRecorder boxes;
        folders()->setCurrentItem(entry.first());
        QTest::keyClick(folders(), Qt::Key_Return);
        expectOneBox(boxes, QStringLiteral("Klasör okunamadı: '%1'").arg(sub));
        // The lists stay on the folder shown, without the vanished entry, and its pictures still load.
        QCOMPARE(folders()->Path(), QDir(folder_).absolutePath());
        QVERIFY(folders()->findItems(QStringLiteral("alt"), Qt::MatchEndsWith).isEmpty());
        QCOMPARE(files()->ListCount(), 2);
        select(QStringLiteral("b.png"));
        QCOMPARE(text("Text6"), QStringLiteral("300"));
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
    }
};

TORV_QTEST(TestVanishingFiles)
#include "test_vanishing_files.moc"
