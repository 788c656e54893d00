// Picking a picture in the main window: the file list, its arrow keys and "1-Aç" put it into Picture1 and
// the preview, at its own size when it fits and zoomed when not, and show its measured size; the open
// dialog offers the window's file types; a folder that cannot be read gets a message. Files that do not
// load are the whole-job test's.
#include "platform/controls/DriveListBox.h"
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/QtTests.h"
#include "tests/support/HeifWriter.h"
#include "tests/support/StallMeter.h"
#include "tests/support/TestPictures.h"

#include <sys/stat.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

class TestLoading : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString good_;  // a folder of pictures

    platform::Picture picture1() { return control<platform::PictureBox>("Picture1")->Picture(); }
    // The preview, Picture1 and dosya_yolu hold one and the same picture of path, its size shown.
    void verifyShowing(const QString& name, QSize size) {
        QCOMPARE(form_->value("dosya_yolu").toString(), good_ + u'/' + name);
        QCOMPARE(picture1().pixelSize(), size);
        QCOMPARE(preview()->Picture().Handle(), picture1().Handle());
        QCOMPARE(text("Text6"), QString::number(size.width()));
        QCOMPARE(text("Text7"), QString::number(size.height()));
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        good_ = testpics::WriteFolder(dir_.filePath("good"), {{"1-small.bmp", {300, 180}},
                                                              {"2-big.jpg", {800, 600}},
                                                              {"3-wide.png", {400, 150}},
                                                              {"4-PHONE.JPG", {320, 200}}});
    }
    void init() { QVERIFY(openForm()); }
    void cleanup() { form_.reset(); }

    void listAndArrowKeysLoadAndMeasure() {
        MsgBoxRecorder boxes;
        openFolder(good_);
        QCOMPARE(files()->ListCount(), 4);
        files()->setFocus();
        select("1-small.bmp");
        const QList<QSize> sizes{{300, 180}, {800, 600}, {400, 150}, {320, 200}};
        verifyShowing("1-small.bmp", sizes[0]);
        QCOMPARE(preview()->PictureSizeMode(), 0);  // at its own size
        QCOMPARE(preview()->shownSize(), sizes[0]);
        // Kept as measured through HIMETRIC: never short of the pixels, less than one unit (0.038 px) over.
        const float width = form_->value("resim_genislik").toFloat();
        const float height = form_->value("resim_yukseklik").toFloat();
        QVERIFY(width >= 300 && width < 300.038f);
        QVERIFY(height >= 180 && height < 180.038f);
        for (int row = 1; row < sizes.size(); ++row) {
            QTest::keyClick(files(), Qt::Key_Down);
            QCOMPARE(files()->ListIndex(), row);
            verifyShowing(files()->List(row), sizes[row]);
            QCOMPARE(preview()->PictureSizeMode(), row == 1 ? 3 : 0);  // 800 x 600 zoomed
        }
        QTest::keyClick(files(), Qt::Key_Up);
        verifyShowing(files()->List(2), sizes[2]);
        QVERIFY(boxes.empty());
    }

    // A held key picks picture after picture: the window keeps handling its events, and what it shows at
    // the end is the last one picked.
    void holdingDownNeverStallsAndEndsOnTheLast() {
        const QString folder = dir_.filePath("photos");
        QVERIFY(QDir().mkpath(folder));
        for (int i = 1; i <= 6; ++i)
            testpics::Save(testpics::Noise(3000, 2000, i), folder + QStringLiteral("/foto%1.jpg").arg(i));
        openFolder(folder);
        files()->setFocus();
        select(QStringLiteral("foto1.jpg"));
        StallMeter::RunEventsUntil([&] { return !text("Text6").isEmpty(); }, 5000);
        const StallMeter stalls;
        for (int i = 0; i < 5; ++i) {
            QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), i > 0);
            QApplication::sendEvent(files(), &down);
            StallMeter::RunEventsUntil([] { return false; }, 30);  // the keyboard's repeat rate
        }
        StallMeter::RunEventsUntil([&] { return !text("Text6").isEmpty(); }, 5000);
        QVERIFY2(stalls.longestMs() < 100, qPrintable(QString::number(stalls.longestMs())));
        QCOMPARE(form_->value("dosya_yolu").toString(), folder + QStringLiteral("/foto6.jpg"));
        QCOMPARE(preview()->Picture().Handle(), control<platform::PictureBox>("Picture1")->Picture().Handle());
        QCOMPARE(preview()->toolTip(), QStringLiteral("foto6.jpg"));
    }

    // A HEIC of more than half a megapixel is costly to decode, so its pick returns before it comes: the
    // preview says so meanwhile, and shows neither nothing nor the picture before.
    void aPictureStillLoadingSaysSo() {
        const QString folder = dir_.filePath("heic");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(!testpics::WriteBytes(testpics::EncodeHeic(testpics::Noise(1000, 600), 1, {}), folder + "/2-yavas.heic")
                     .isEmpty());
        testpics::Save(testpics::Gradient(300, 200), folder + "/1-hizli.png");
        openFolder(folder);
        select(QStringLiteral("1-hizli.png"));
        QCOMPARE(text("Text6"), QStringLiteral("300"));
        select(QStringLiteral("2-yavas.heic"));
        QVERIFY(preview()->Picture().isEmpty());
        QCOMPARE(preview()->statusText(), QStringLiteral("Yükleniyor…"));
        QVERIFY(text("Text6").isEmpty());
        QTRY_VERIFY(!preview()->Picture().isEmpty());
        QVERIFY(preview()->statusText().isEmpty() && text("Text6") == QStringLiteral("1000"));
    }

    void openDialogLoadsAndMeasures() {
        openWithDialog(good_ + "/2-big.jpg");
        verifyShowing("2-big.jpg", {800, 600});
        QCOMPARE(preview()->PictureSizeMode(), 3);
        // A small picture after a zoomed one is at its own size again.
        openWithDialog(good_ + "/3-wide.png");
        verifyShowing("3-wide.png", {400, 150});
        QCOMPARE(preview()->PictureSizeMode(), 0);
        QCOMPARE(preview()->shownSize(), QSize(400, 150));
    }

    void openDialogCancelChangesNothing() {
        openFolder(good_);
        select("2-big.jpg");
        const auto handle = picture1().Handle();
        {
            ModalAnswerer answer;
            answer.cancel();
            control<QPushButton>("Command2")->click();
            QVERIFY(answer.done());
        }
        verifyShowing("2-big.jpg", {800, 600});
        QCOMPARE(picture1().Handle(), handle);
        QCOMPARE(preview()->PictureSizeMode(), 3);
        // A cancel after a pick does not bring the earlier pick back either.
        openWithDialog(good_ + "/1-small.bmp");
        {
            ModalAnswerer answer;
            answer.cancel();
            select("3-wide.png");
            control<QPushButton>("Command2")->click();
        }
        verifyShowing("3-wide.png", {400, 150});
    }

    void openDialogOffersTheListsPicturesInItsFolder() {
        openFolder(good_);
        QStringList filters, listed;
        QString folder;
        ModalAnswerer answer;
        answer.onModal(
            "open dialog", [](QWidget* w) { return qobject_cast<QFileDialog*>(w); },
            [&](QWidget* w) {
                auto* dialog = qobject_cast<QFileDialog*>(w);
                filters = dialog->nameFilters();
                folder = dialog->directory().absolutePath();
            });
        answer.readListing(4, [&](QFileDialog*, const QStringList& names) { listed = names; });
        answer.cancel();
        control<QPushButton>("Command2")->click();
        QVERIFY(answer.done());
        QCOMPARE(folder, good_);
        QCOMPARE(filters.size(), 9);
        QVERIFY(filters[0].startsWith("Resim (") && filters[0].contains("*.JPEG") && filters[0].contains("*.png") &&
                filters[0].contains("*.HEIC"));
        QCOMPARE(listed, (QStringList{"1-small.bmp", "2-big.jpg", "3-wide.png", "4-PHONE.JPG"}));
    }

    void unreadableFolderGetsAMessage() {
        QTemporaryDir locked;
        QFile::setPermissions(locked.path(), QFileDevice::Permissions());
        if (QFileInfo(locked.path()).isReadable()) QSKIP("this user reads every folder");
        MsgBoxRecorder boxes;
        openFolder(locked.path());
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        QVERIFY(boxes.boxes().front().prompt.contains(locked.path()));
        QCOMPARE(files()->ListCount(), 0);
        openFolder(good_);
        QCOMPARE(files()->ListCount(), 4);
        QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void driveChangeOpensTheDrivesCurrentFolder() {
        openFolder(good_);
        // The process's folder lies on the drive shown, so that drive's current folder is it.
        auto* drive = control<platform::DriveListBox>("Drive1");
        QCOMPARE(drive->Drive(), QStorageInfo(QDir::currentPath()).rootPath());
        emit drive->Change();
        QCOMPARE(control<platform::DirListBox>("Dir1")->Path(), QDir::currentPath());
        QCOMPARE(files()->Path(), QDir::currentPath());
    }

    // A pipe or a device is no picture and is not listed; a huge sparse file is, and is refused at once.
    void specialFilesAreNotListedAndAHugeOneIsRefusedAtOnce() {
        QTemporaryDir special;
        QVERIFY(::mkfifo(QFile::encodeName(special.filePath("boru.jpg")).constData(), 0600) == 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), special.filePath("sıfır.jpg")));
        QFile sparse(special.filePath("koca.jpg"));
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(3LL << 30));
        sparse.close();
        openFolder(special.path());
        QCOMPARE(files()->ListCount(), 1);
        MsgBoxRecorder boxes;
        QElapsedTimer clock;
        clock.start();
        select(QStringLiteral("koca.jpg"));
        QVERIFY(clock.elapsed() < 1000);
        expectWarning(boxes, cannotOpen(special.filePath("koca.jpg")));
    }
};

TORV_QTEST(TestLoading)
#include "test_loading.moc"
