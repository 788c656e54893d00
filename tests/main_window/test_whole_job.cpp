// The whole job through the window: a 1024 x 768 picture picked in the file list, "2-Küçült" into
// 400 x 400, then both save buttons; the files hold the shrunk picture at the asked qualities.
#include "main_window/Form1.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/HScrollBar.h"
#include "platform/controls/PictureBox.h"
#include "tests/support/FindControl.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/MsgBoxRecorder.h"
#include "tests/support/TestPictures.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include "tests/support/QtTests.h"

#include <QTest>

class TestWholeJob : public QObject {
    Q_OBJECT
private:
    template <class T>
    static T* Control(Form1& form, const char* name) {
        return FindControl<T>(form, name);
    }

    static qint64 SaveAs(QPushButton* button, const QString& folder, const QString& name) {
        ModalAnswerer answer;
        answer.typeFileName(name);
        button->click();
        if (!answer.done() || !answer.failures().isEmpty()) return -1;
        return QFile(folder + u'/' + name).size();
    }

private slots:
    void pickShrinkSave() {
        QTemporaryDir pictures, home;
        QVERIFY(pictures.isValid() && home.isValid());
        testpics::Save(testpics::Gradient(1024, 768), pictures.path() + QStringLiteral("/foto.jpg"));
        qputenv("HOME", QFile::encodeName(home.path()));

        LoopbackHttpServer server(LoopbackHttpServer::Mode::Silent);
        MsgBoxRecorder boxes;
        Form1 form(server.base());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        auto* files = Control<platform::FileListBox>(form, "File1");
        files->setPath(pictures.path());
        QCOMPARE(files->ListCount(), 1);
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(files->item(0)).center());
        QCOMPARE(Control<QLineEdit>(form, "Text6")->text(), QStringLiteral("1024"));
        QCOMPARE(Control<QLineEdit>(form, "Text7")->text(), QStringLiteral("768"));

        Control<QPushButton>(form, "Command3")->click();
        auto* picture2 = Control<platform::PictureBox>(form, "Picture2");
        QCOMPARE(picture2->Picture().pixelSize(), QSize(400, 300));

        auto* saveStd = Control<QPushButton>(form, "cmdSaveStdPic");
        QVERIFY(SaveAs(saveStd, home.path(), QStringLiteral("kucuk.jpg")) > 0);
        const QImage written = testpics::DecodeJpeg(home.path() + QStringLiteral("/kucuk.jpg"));
        QCOMPARE(written.size(), QSize(400, 300));
        const double psnr = testpics::Psnr(picture2->Picture().pixels(), written);
        QVERIFY2(psnr > 38.0, qPrintable(QString::number(psnr)));

        auto* saveQuality = Control<QPushButton>(form, "cmdSaveQualityPic");
        auto* slider = Control<platform::HScrollBar>(form, "HScroll1");
        slider->setValue(99);
        const qint64 high = SaveAs(saveQuality, home.path(), QStringLiteral("q99.jpg"));
        slider->setValue(20);
        const qint64 low = SaveAs(saveQuality, home.path(), QStringLiteral("q20.jpg"));
        QVERIFY2(low > 0 && high > 2 * low, qPrintable(QStringLiteral("%1 vs %2").arg(high).arg(low)));

        auto* quality = Control<QLineEdit>(form, "txtQuality");
        quality->setText(QString());
        const qint64 standard = QFile(home.path() + QStringLiteral("/kucuk.jpg")).size();
        QCOMPARE(SaveAs(saveQuality, home.path(), QStringLiteral("q90.jpg")), standard);
        QCOMPARE(quality->text(), QStringLiteral("90"));
        QVERIFY(boxes.empty());
    }
};

TORV_QTEST(TestWholeJob)
#include "test_whole_job.moc"
