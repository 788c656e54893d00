// Files and folders that change under the main window: a picture deleted after it was loaded, and folders
// deleted while the lists show them. Each ends in a message where the user asked for the file or folder,
// and the shrink and save go on with what was loaded.
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class TestVanishingFiles : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QTemporaryDir> home_;
    QString folder_;  // a folder of pictures inside dir_
    platform::DirListBox* folders() { return control<platform::DirListBox>("Dir1"); }
    QSize saved(const QString& name) {
        saveAs("cmdSaveStdPic", name);
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
        openFolder(folder_);
        QCOMPARE(files()->ListCount(), 2);
    }
    void cleanup() {
        form_.reset();
        home_.reset();
        dir_.reset();
    }

    void pictureDeletedAfterLoading() {
        const QString path = folder_ + QStringLiteral("/a.jpg");
        select(QStringLiteral("a.jpg"));
        QVERIFY(QFile::remove(path));
        MsgBoxRecorder boxes;
        clickPreview();
        expectWarning(boxes, cannotOpen(path));
        QVERIFY(!form2Shown());
        // The picture already loaded is still the one shown, shrunk and saved.
        QCOMPARE(preview()->Picture().pixelSize(), QSize(800, 600));
        shrink();
        QCOMPARE(saved(QStringLiteral("kucuk.jpg")), QSize(400, 300));
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        // The other picture still opens full-size.
        select(QStringLiteral("b.png"));
        clickPreview();
        QVERIFY(form2Shown());
        QTest::keyClick(form2(), Qt::Key_Escape);
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
    }

    void folderDeletedWhileShown() {
        select(QStringLiteral("b.png"));
        shrink();
        QCOMPARE(saved(QStringLiteral("once.jpg")), QSize(300, 200));
        QVERIFY(QDir(folder_).removeRecursively());

        MsgBoxRecorder boxes;
        select(QStringLiteral("a.jpg"));
        expectWarning(boxes, cannotOpen(folder_ + QStringLiteral("/a.jpg")));
        // Nothing is left to save: the shrunk result was the other picture's.
        QVERIFY(control<platform::PictureBox>("Picture2")->Picture().isEmpty());

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
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
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
        expectWarning(boxes, QStringLiteral("Klasör okunamadı: '%1'").arg(sub));
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
