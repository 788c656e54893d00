// Picking a picture in the main window: the file list and "1-Aç" put it into Picture1 and the preview,
// at its own size when it fits and zoomed when not, show its size, and turn bad files into a message
// that leaves the window consistent.
#include "main_window/Form1.h"
#include "platform/controls/DirListBox.h"
#include "platform/controls/DriveListBox.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/MsgBoxRecorder.h"
#include "tests/support/TestPictures.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include "tests/support/QtTests.h"

#include <QTest>

using platform::PictureControl;

class TestLoading : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString good_;  // a folder of good pictures
    QString bad_;   // a folder of bad files and one good picture
    PictureControl* preview() { return control<PictureControl>("Image2"); }
    platform::Picture picture1() { return control<platform::PictureBox>("Picture1")->Picture(); }

    void openFolder(const QString& folder) { control<platform::DirListBox>("Dir1")->setPath(folder); }
    // Presses "1-Aç" and picks path in the open dialog.
    void openWithDialog(const QString& path) {
        ModalAnswerer answer;
        answer.typeFileName(path);
        control<QPushButton>("Command2")->click();
        QVERIFY2(answer.done() && answer.failures().isEmpty(), qPrintable(answer.failures().join(u';')));
    }
    // The preview, Picture1 and dosya_yolu hold one and the same picture of path.
    void verifyShowing(const QString& path) {
        QCOMPARE(form_->value("dosya_yolu").toString(), path);
        QVERIFY(!picture1().isEmpty());
        QCOMPARE(preview()->Picture().Handle(), picture1().Handle());
    }
    void verifyShowingNothing() {
        QVERIFY(form_->value("dosya_yolu").toString().isEmpty());
        QVERIFY(picture1().isEmpty());
        QVERIFY(preview()->Picture().isEmpty());
        QVERIFY(text("Text6").isEmpty());
        QVERIFY(text("Text7").isEmpty());
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        good_ = testpics::WriteFolder(dir_.filePath("good"), {{"1-small.bmp", {300, 180}},
                                                              {"2-big.jpg", {800, 600}},
                                                              {"3-wide.png", {400, 150}},
                                                              {"4-PHONE.JPG", {320, 200}},
                                                              {"5-width640.png", {640, 100}}});
        bad_ = testpics::WriteFolder(dir_.filePath("bad"), {{"good.png", {300, 180}}});
        testpics::WriteBytes({}, bad_ + "/zero.jpg");
        testpics::WriteBytes(testpics::TruncatedJpeg(300, 200), bad_ + "/truncated.jpg");
        testpics::WriteBytes("just some words, not a picture\n", bad_ + "/words.jpg");
        QFile::copy(TORV_TEST_DATA "/hostile/claims-100000x100000.png", bad_ + "/huge.png");
    }
    void init() { QVERIFY(openForm()); }
    void cleanup() { form_.reset(); }

    void listLoadsAndMeasures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("mode");
        QTest::newRow("300 x 180 at its own size") << "1-small.bmp" << QSize(300, 180) << 0;
        QTest::newRow("800 x 600 zoomed") << "2-big.jpg" << QSize(800, 600) << 3;
        QTest::newRow("400 x 150 fits, at its own size") << "3-wide.png" << QSize(400, 150) << 0;
        QTest::newRow("upper-case extension") << "4-PHONE.JPG" << QSize(320, 200) << 0;
        QTest::newRow("640 wide zoomed") << "5-width640.png" << QSize(640, 100) << 3;
    }
    void listLoadsAndMeasures() {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(int, mode);
        MsgBoxRecorder boxes;
        openFolder(good_);
        QCOMPARE(files()->ListCount(), 5);  // the upper-case one is listed too
        select(name);
        verifyShowing(good_ + "/" + name);
        QVERIFY(boxes.empty());
        QCOMPARE(picture1().pixelSize(), size);
        QCOMPARE(text("Text6"), QString::number(size.width()));
        QCOMPARE(text("Text7"), QString::number(size.height()));
        // Measured through HIMETRIC, never short of the pixels and less than one HIMETRIC unit (0.038 px)
        // over.
        const float width = form_->value("resim_genislik").toFloat();
        const float height = form_->value("resim_yukseklik").toFloat();
        QVERIFY(width >= size.width() && width < size.width() + 0.038f);
        QVERIFY(height >= size.height() && height < size.height() + 0.038f);
        QCOMPARE(preview()->PictureSizeMode(), mode);
        QCOMPARE(preview()->AutoSize(), false);
        if (mode == 0) {
            QCOMPARE(preview()->shownSize(), size);
        } else {
            const QSize shown = preview()->shownSize();
            const QSize area = preview()->contentsRect().size();
            QVERIFY(shown.width() == area.width() || shown.height() == area.height());
            // Proportions kept to within a pixel.
            QVERIFY(qAbs(shown.height() * size.width() - shown.width() * size.height()) <=
                    qMax(size.width(), size.height()));
        }
    }

    void eightHundredMeasuresAsTheRuntimeDoes() {
        openFolder(good_);
        select("2-big.jpg");
        QVERIFY(qAbs(form_->value("resim_genislik").toFloat() - 800.0126f) < 0.0005f);
    }

    void fitTestAtTheEdgeOfThePreview() {
        // A picture exactly as large as the area inside the edge fits; one pixel more does not.
        const QSize area = preview()->contentsRect().size();
        const QString folder =
            testpics::WriteFolder(dir_.filePath("edge"), {{"a-exact.png", area},
                                                          {"b-wider.png", area + QSize(1, 0)},
                                                          {"c-taller.png", area + QSize(0, 1)}});
        openFolder(folder);
        select("a-exact.png");
        QCOMPARE(preview()->PictureSizeMode(), 0);
        select("b-wider.png");
        QCOMPARE(preview()->PictureSizeMode(), 3);
        select("c-taller.png");
        QCOMPARE(preview()->PictureSizeMode(), 3);
    }

    void arrowingThroughTheListLoadsEachPicture() {
        openFolder(good_);
        files()->setFocus();
        select("1-small.bmp");
        const QStringList widths{"300", "800", "400", "320", "640"};
        for (int row = 1; row < widths.size(); ++row) {
            QTest::keyClick(files(), Qt::Key_Down);
            QCOMPARE(files()->ListIndex(), row);
            QCOMPARE(text("Text6"), widths[row]);
            verifyShowing(good_ + "/" + files()->List(row));
        }
        QTest::keyClick(files(), Qt::Key_Up);
        QCOMPARE(text("Text6"), widths[3]);
    }

    void openDialogLoadsAndMeasures() {
        openWithDialog(good_ + "/1-small.bmp");
        verifyShowing(good_ + "/1-small.bmp");
        QCOMPARE(text("Text6"), QStringLiteral("300"));
        QCOMPARE(text("Text7"), QStringLiteral("180"));
        QCOMPARE(preview()->PictureSizeMode(), 0);
        QCOMPARE(preview()->shownSize(), QSize(300, 180));
    }

    void openDialogSmallAfterZoomedIsAtItsOwnSize() {
        openWithDialog(good_ + "/2-big.jpg");
        QCOMPARE(preview()->PictureSizeMode(), 3);
        QCOMPARE(text("Text6"), QStringLiteral("800"));
        openWithDialog(good_ + "/3-wide.png");
        verifyShowing(good_ + "/3-wide.png");
        QCOMPARE(preview()->PictureSizeMode(), 0);
        QCOMPARE(preview()->shownSize(), QSize(400, 150));
        QCOMPARE(text("Text6"), QStringLiteral("400"));
        QCOMPARE(text("Text7"), QStringLiteral("150"));
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
        verifyShowing(good_ + "/2-big.jpg");
        QCOMPARE(picture1().Handle(), handle);
        QCOMPARE(preview()->PictureSizeMode(), 3);
        QCOMPARE(text("Text6"), QStringLiteral("800"));
        // A cancel after a pick does not bring the earlier pick back either.
        openWithDialog(good_ + "/1-small.bmp");
        {
            ModalAnswerer answer;
            answer.cancel();
            select("3-wide.png");
            control<QPushButton>("Command2")->click();
        }
        verifyShowing(good_ + "/3-wide.png");
    }

    void openDialogOffersPicturesOfEitherCase() {
        QStringList filters, listed;
        ModalAnswerer answer;
        answer.onModal(
            "open dialog", [](QWidget* w) { return qobject_cast<QFileDialog*>(w); },
            [&](QWidget* w) {
                auto* dialog = qobject_cast<QFileDialog*>(w);
                filters = dialog->nameFilters();
                dialog->setDirectory(good_);
            });
        answer.readListing(3, [&](QFileDialog*, const QStringList& names) { listed = names; });
        answer.cancel();
        control<QPushButton>("Command2")->click();
        QVERIFY(answer.done());
        QCOMPARE(filters.size(), 4);
        QVERIFY(filters[0].startsWith("Resim (") && filters[0].contains("*.JPG") &&
                filters[0].contains("*.bmp"));
        QVERIFY(!filters[0].contains("png", Qt::CaseInsensitive));
        QVERIFY(filters[3].startsWith("Jpg ("));
        // PNG is not offered here, although the file list shows it.
        QCOMPARE(listed, (QStringList{"1-small.bmp", "2-big.jpg", "4-PHONE.JPG"}));
    }

    void badFileFromTheList_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("zero bytes") << "zero.jpg";
        QTest::newRow("truncated JPEG") << "truncated.jpg";
        QTest::newRow("text named .jpg") << "words.jpg";
        QTest::newRow("PNG claiming 100000 x 100000") << "huge.png";
    }
    void badFileFromTheList() {
        QFETCH(QString, name);
        MsgBoxRecorder boxes;
        openFolder(bad_);
        select("good.png");
        select(name);
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        const RecordedBox& box = boxes.boxes().front();
        QCOMPARE(box.title, QStringLiteral("Project1"));
        QCOMPARE(box.style, int(platform::vbExclamation));
        QCOMPARE(box.prompt, QStringLiteral("Resim dosyası açılamadı: '%1'").arg(bad_ + "/" + name));
        // Nothing is left that the preview does not show: no picture to shrink, none to view full-size.
        verifyShowingNothing();
        QCOMPARE(preview()->PictureSizeMode(), 0);
        // Then a good picture loads normally.
        select("good.png");
        verifyShowing(bad_ + "/good.png");
        QCOMPARE(text("Text6"), QStringLiteral("300"));
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
    }

    void badFileFromTheDialogKeepsThePictureBefore_data() { badFileFromTheList_data(); }
    void badFileFromTheDialogKeepsThePictureBefore() {
        QFETCH(QString, name);
        MsgBoxRecorder boxes;
        openWithDialog(good_ + "/2-big.jpg");
        const auto handle = picture1().Handle();
        // The dialog lists only its file types; a typed name reaches any file.
        openWithDialog(bad_ + "/" + name);
        QCOMPARE(boxes.boxes().size(), std::size_t(1));
        QCOMPARE(boxes.boxes().front().prompt,
                 QStringLiteral("Resim dosyası açılamadı: '%1'").arg(bad_ + "/" + name));
        verifyShowing(good_ + "/2-big.jpg");
        QCOMPARE(picture1().Handle(), handle);
        QCOMPARE(text("Text6"), QStringLiteral("800"));
        openWithDialog(bad_ + "/good.png");
        verifyShowing(bad_ + "/good.png");
        QCOMPARE(text("Text6"), QStringLiteral("300"));
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
        QCOMPARE(files()->ListCount(), 5);
        QFile::setPermissions(locked.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void driveChangeOpensTheDrivesCurrentFolder() {
        openFolder(good_);
        QCOMPARE(files()->ListCount(), 5);
        // The process's folder lies on the drive shown, so that drive's current folder is it.
        auto* drive = control<platform::DriveListBox>("Drive1");
        QCOMPARE(drive->Drive(), QStorageInfo(QDir::currentPath()).rootPath());
        emit drive->Change();
        QCOMPARE(control<platform::DirListBox>("Dir1")->Path(), QDir::currentPath());
        QCOMPARE(files()->Path(), QDir::currentPath());
    }

    void exifRotatedPhotoLoadsUpright() {
        openFolder(TORV_TEST_DATA);
        select("orient_6.jpg");  // stored 32 x 48, tagged "rotate 90"
        QCOMPARE(text("Text6"), QStringLiteral("48"));
        QCOMPARE(text("Text7"), QStringLiteral("32"));
        QCOMPARE(preview()->shownSize(), QSize(48, 32));
        const QImage shot = preview()->grab().toImage();
        const QPoint centre = preview()->contentsRect().center();
        auto at = [&](int dx, int dy) { return QColor(shot.pixel(centre + QPoint(dx, dy))); };
        // Red top left, lime top right, blue bottom left, white bottom right.
        QVERIFY(at(-12, -8).red() > 200 && at(-12, -8).green() < 60);
        QVERIFY(at(12, -8).green() > 200 && at(12, -8).red() < 60);
        QVERIFY(at(-12, 8).blue() > 200 && at(-12, 8).red() < 60);
        QVERIFY(at(12, 8).red() > 200 && at(12, 8).blue() > 200);
    }
};

TORV_QTEST(TestLoading)
#include "test_loading.moc"
