// The file list: matching files of a folder in natural order regardless of case, the VB-style list
// API, Click on a changed selection by mouse or keyboard only, and KeyPress with character codes.
#include "platform/controls/FileListBox.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include "tests/support/QtTests.h"

#include <QTest>

namespace {
void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}
}  // namespace

class TestFileListBox : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QStringList listed(const platform::FileListBox& list) {
        QStringList names;
        for (int i = 0; i < list.ListCount(); ++i) names << list.List(i);
        return names;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        for (const char* name : {"photo10.jpg", "photo2.JPG", "photo1.jpg", "Ada.png", "b.Gif", "c.bmp",
                                 "notes.txt", "d.jpeg", "jpg", "e.jpg.txt"})
            Touch(dir_.filePath(QLatin1String(name)));
        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("sub.jpg")));
    }

    void listsMatchingFilesNaturally() {
        platform::FileListBox list;
        list.setPattern(QStringLiteral("*.jpg;*.bmp;*.gif;*.png"));
        list.setPath(dir_.path());
        QCOMPARE(list.Path(), dir_.path());
        QCOMPARE(listed(list),
                 (QStringList{"Ada.png", "b.Gif", "c.bmp", "photo1.jpg", "photo2.JPG", "photo10.jpg"}));
        QCOMPARE(list.List(-1), QString());
        QCOMPARE(list.List(6), QString());
        QCOMPARE(list.ListIndex(), -1);
        for (int i = 0; i < list.ListCount(); ++i) QVERIFY(!list.Selected(i));
    }

    void patternChangeRelists() {
        platform::FileListBox list;
        list.setPath(dir_.path());
        list.setPattern(QStringLiteral("*.txt"));
        QCOMPARE(listed(list), (QStringList{"e.jpg.txt", "notes.txt"}));
        QFile::remove(dir_.filePath(QStringLiteral("notes.txt")));
        list.Refresh();
        QCOMPARE(listed(list), QStringList{"e.jpg.txt"});
        Touch(dir_.filePath(QStringLiteral("notes.txt")));
    }

    void missingFolderListsNothing() {
        platform::FileListBox list;
        list.setPath(dir_.filePath(QStringLiteral("no-such-folder")));
        QCOMPARE(list.ListCount(), 0);
    }

    void clickOnSelectionByMouseAndKeyboard() {
        platform::FileListBox list;
        list.setPattern(QStringLiteral("*.jpg"));
        QSignalSpy clicks(&list, &platform::FileListBox::Click);
        list.setPath(dir_.path());
        list.resize(200, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(clicks.count(), 0);  // a new folder is not a click

        const QRect second = list.visualItemRect(list.item(1));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(clicks.count(), 1);
        QVERIFY(list.Selected(1));
        QVERIFY(!list.Selected(0));
        QCOMPARE(list.ListIndex(), 1);

        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(clicks.count(), 2);
        QVERIFY(list.Selected(2));
        QCOMPARE(list.List(list.ListIndex()), QStringLiteral("photo10.jpg"));

        // Listed again, the folder keeps the picked entry and picks nothing anew.
        list.Refresh();
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(list.List(list.ListIndex()), QStringLiteral("photo10.jpg"));
        QVERIFY(list.Selected(list.ListIndex()));
    }

    void keyPressGivesCharacterCodes() {
        platform::FileListBox list;
        list.setPath(dir_.path());
        list.setListIndex(0);
        QList<int> codes;
        connect(&list, &platform::FileListBox::KeyPress, this, [&](int& keyAscii) {
            codes << keyAscii;
            if (keyAscii == 'x') keyAscii = 0;  // swallowed
        });
        QTest::keyClick(&list, Qt::Key_Return);
        QTest::keyClick(&list, Qt::Key_Enter);
        QTest::keyClick(&list, 'a');
        QTest::keyClick(&list, Qt::Key_Escape);
        QCOMPARE(codes, (QList<int>{13, 13, 'a', 27}));
        // Arrow keys are not characters.
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(codes.size(), 4);
        // A swallowed character does not reach the list's own search by letter.
        list.setListIndex(0);
        QTest::keyClick(&list, 'x');
        QCOMPARE(list.ListIndex(), 0);
    }
};

TORV_QTEST(TestFileListBox)
#include "test_FileListBox.moc"
