// The open dialog control: Qt's own modal dialog for one existing file, its file types from Filter,
// the choice in FileName, and a cancel that leaves no name behind.
#include "platform/controls/CommonDialog.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestPictures.h"

#include <QFileDialog>
#include <QTemporaryDir>
#include "tests/support/QtTests.h"

#include <QTest>

class TestCommonDialog : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        testpics::WriteFolder(dir_.path(), {{"a.bmp", {10, 10}}, {"B.JPG", {10, 10}}, {"c.png", {10, 10}}});
    }

    void chosenFileAndItsTypes() {
        platform::CommonDialog dialog;
        dialog.setFilter(QStringLiteral("Resim|*.bmp;*.jpg|Bmp|*.bmp||"));
        dialog.setFileName(dir_.filePath("a.bmp"));
        QStringList filters, listed;
        bool modal = false, native = true;
        ModalAnswerer answer;
        answer.onModal(
            "open dialog", [](QWidget* w) { return qobject_cast<QFileDialog*>(w); },
            [&](QWidget* w) {
                auto* shown = qobject_cast<QFileDialog*>(w);
                filters = shown->nameFilters();
                modal = shown->isModal();
                native = !shown->testOption(QFileDialog::DontUseNativeDialog);
            });
        // The offered name's folder is shown, with both cases of the patterns listed.
        answer.readListing(2, [&](QFileDialog*, const QStringList& names) { listed = names; });
        answer.typeFileName(dir_.filePath("B.JPG"));
        dialog.ShowOpen();
        QVERIFY(answer.done());
        QCOMPARE(dialog.FileName(), dir_.filePath("B.JPG"));
        QCOMPARE(filters, (QStringList{"Resim (*.bmp *.BMP *.jpg *.JPG)", "Bmp (*.bmp *.BMP)"}));
        QVERIFY(modal);
        QVERIFY(!native);
        QCOMPARE(listed, (QStringList{"a.bmp", "B.JPG"}));
    }

    void cancelLeavesNoName() {
        platform::CommonDialog dialog;
        dialog.setFileName(dir_.filePath("a.bmp"));
        ModalAnswerer answer;
        answer.cancel();
        dialog.ShowOpen();
        QVERIFY(answer.done());
        QVERIFY(dialog.FileName().isEmpty());
    }
};

TORV_QTEST(TestCommonDialog)
#include "test_CommonDialog.moc"
