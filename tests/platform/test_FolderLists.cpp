// The folder and drive lists: ancestors and subfolders of the current folder, opening a folder by
// double click or Enter, Change only on a real change, and the drive holding a path.
#include "platform/controls/DirListBox.h"
#include "platform/controls/DriveListBox.h"

#include <QDir>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include "tests/support/QtTests.h"

#include <QTest>

class TestFolderLists : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    static QStringList Entries(const platform::DirListBox& list) {
        QStringList entries;
        for (int i = 0; i < list.count(); ++i) entries << list.item(i)->text().trimmed();
        return entries;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QDir root(dir_.path());
        for (const char* name : {"kış10", "kış2", "Albüm", "yaz"})
            QVERIFY(root.mkdir(QString::fromUtf8(name)));
    }

    void showsAncestorsThenSubfoldersNaturally() {
        platform::DirListBox list;
        QSignalSpy changes(&list, &platform::DirListBox::Change);
        list.setPath(dir_.path());
        QCOMPARE(changes.count(), 1);
        QCOMPARE(list.Path(), dir_.path());
        const QStringList entries = Entries(list);
        QCOMPARE(entries.first(), QStringLiteral("/"));
        const int self = entries.indexOf(QDir(dir_.path()).dirName());
        QVERIFY(self > 0);
        QCOMPARE(list.currentRow(), self);
        QCOMPARE(entries.mid(self + 1), (QStringList{"Albüm", "kış2", "kış10", "yaz"}));
        // Deeper entries are indented further.
        auto indent = [&](int row) {
            return list.item(row)->text().size() - list.item(row)->text().trimmed().size();
        };
        QVERIFY(indent(self) > indent(self - 1));
        QVERIFY(indent(self + 1) > indent(self));

        list.setPath(dir_.path());  // the same folder again: no change
        QCOMPARE(changes.count(), 1);
        list.setPath(dir_.filePath(QStringLiteral("no-such-folder")));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(list.Path(), dir_.path());
    }

    void enterAndDoubleClickOpenFolders() {
        platform::DirListBox list;
        list.setPath(dir_.path());
        list.resize(300, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy changes(&list, &platform::DirListBox::Change);

        list.setCurrentRow(Entries(list).indexOf(QStringLiteral("yaz")));
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(list.Path(), dir_.filePath(QStringLiteral("yaz")));

        // Up to the parent by a double click on its entry.
        const int parentRow = Entries(list).indexOf(QDir(dir_.path()).dirName());
        list.doItemsLayout();
        const QPoint at = list.visualItemRect(list.item(parentRow)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(list.Path(), dir_.filePath(QStringLiteral("yaz")));  // a single click only selects
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(list.Path(), dir_.path());
        QCOMPARE(changes.count(), 2);
    }

    void driveListShowsTheVolumeOfAPath() {
        platform::DriveListBox drives;
        QCOMPARE(drives.Drive(), QStorageInfo(QDir::currentPath()).rootPath());
        QVERIFY(drives.count() >= 1);
        QSignalSpy changes(&drives, &platform::DriveListBox::Change);
        drives.setDrive(QDir::currentPath());
        QCOMPARE(changes.count(), 0);
        drives.setDrive(dir_.path());
        QCOMPARE(drives.Drive(), QStorageInfo(dir_.path()).rootPath());
        QCOMPARE(changes.count(), drives.Drive() == QStorageInfo(QDir::currentPath()).rootPath() ? 0 : 1);
    }
};

TORV_QTEST(TestFolderLists)
#include "test_FolderLists.moc"
