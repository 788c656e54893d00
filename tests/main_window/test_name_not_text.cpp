// A picture whose name is not text (Latin-1 bytes, say) is listed with the replacement character where a
// byte is not text, and picking it opens that very file.
#include "platform/controls/PictureBox.h"
#include "tests/main_window/Form1UnderTest.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestPictures.h"

#include <cstdio>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestNameNotText : public QObject, private Form1UnderTest {
    Q_OBJECT
private slots:
    void listedAndOpened() {
        QTemporaryDir dir;
        const QString folder = testpics::WriteFolder(dir.filePath("f"), {{"a.png", {120, 80}}});
        QVERIFY(std::rename(QFile::encodeName(folder + "/a.png"), QFile::encodeName(folder) + "/k\xf6t\xfc.png") == 0);
        QVERIFY(openForm());
        MsgBoxRecorder boxes;
        openFolder(folder);
        select(QStringLiteral("k\uFFFDt\uFFFD.png"));
        QCOMPARE(control<platform::PictureBox>("Picture1")->Picture().pixelSize(), QSize(120, 80));
        QVERIFY(boxes.empty());
        form_.reset();
        std::remove(QFile::encodeName(folder) + "/k\xf6t\xfc.png");  // Qt passes over a name that is not text
    }
};

TORV_QTEST(TestNameNotText)
#include "test_name_not_text.moc"
