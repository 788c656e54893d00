// The save dialog wrapper driven through Qt's real file dialog, as the save buttons call it.
#include "dialogs/mCommonDialog.h"
#include "platform/comdlg.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/MsgBoxRecorder.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWidget>

namespace {

const QChar kNul(0);
const QString kCallersFilter = QStringLiteral("JPEG Files (*.JPG)|*.JPG|All Files (*.*)|*.*");

class ShowSaveFileDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        for (const char* name : {"a.jpg", "x.JPG", "b.bmp", "noext"}) Touch(name);
    }

    QString Path(const QString& name) const { return dir_.path() + u'/' + name; }

    void Touch(const QString& name) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old contents");
    }

    // The call of the save buttons, with the offered name in the test folder.
    bool Show(bool overwritePrompt = true, QWidget* owner = nullptr) {
        fileName = Path(QStringLiteral("ulk.jpg"));
        return mCommonDialog::ShowSaveFileDialog(fileName, fileTitle, overwritePrompt, filter, filterIndex,
                                                 {}, {}, QStringLiteral("JPG"), owner, flags);
    }

    void ExpectAnswered() const {
        EXPECT_TRUE(answer.done());
        EXPECT_TRUE(answer.failures().isEmpty()) << answer.failures().join(u'\n').toStdString();
    }

    QTemporaryDir dir_;
    ModalAnswerer answer;
    QString fileName;
    QString fileTitle;
    QString filter = kCallersFilter;
    int32_t filterIndex = 1;
    int32_t flags = 0;
};

TEST_F(ShowSaveFileDialog, OffersTheNameAndTheFiltersInOrder) {
    QWidget owner;
    QString offeredName, offeredDir;
    QStringList types, jpegListing, allListing;
    QObject* parent = nullptr;
    answer.onModal(
        "file dialog", [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
        [&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            offeredName = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
            offeredDir = dialog->directory().absolutePath();
            auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
            for (int i = 0; i < combo->count(); ++i) types << combo->itemText(i);
            parent = dialog->parent();
        });
    // The JPEG type lists names ending in .jpg and .JPG alike, and nothing else.
    answer.readListing(2, [&](QFileDialog*, const QStringList& names) { jpegListing = names; });
    answer.selectFilter(2);
    answer.readListing(4, [&](QFileDialog*, const QStringList& names) { allListing = names; });
    answer.cancel();

    EXPECT_FALSE(Show(true, &owner));
    ExpectAnswered();
    EXPECT_EQ(offeredName, QStringLiteral("ulk.jpg"));
    EXPECT_EQ(offeredDir, QDir(dir_.path()).absolutePath());
    EXPECT_EQ(types, QStringList({"JPEG Files (*.JPG)", "All Files (*.*)"}));
    EXPECT_EQ(parent, &owner);
    EXPECT_EQ(jpegListing, QStringList({"a.jpg", "x.JPG"}));
    EXPECT_EQ(allListing, QStringList({"a.jpg", "b.bmp", "noext", "x.JPG"}));
}

TEST_F(ShowSaveFileDialog, ANameWithoutExtensionGetsTheDefaultOne) {
    answer.typeFileName("out");
    ASSERT_TRUE(Show());
    ExpectAnswered();
    EXPECT_EQ(fileName, Path("out.JPG"));
    EXPECT_EQ(fileTitle, QStringLiteral("out.JPG"));
    EXPECT_EQ(filterIndex, 1);
    EXPECT_EQ(filter, QStringLiteral("JPEG Files (*.JPG)") + kNul + "*.JPG");
    EXPECT_EQ(flags, platform::OFN_OVERWRITEPROMPT | platform::OFN_HIDEREADONLY);
    EXPECT_EQ(mCommonDialog::LastResult(), 1);
    EXPECT_EQ(mCommonDialog::LastExtendedError(), 0);
}

TEST_F(ShowSaveFileDialog, AllFilesKeepsAnotherExtension) {
    answer.selectFilter(2);
    answer.typeFileName("pic.bmp");
    ASSERT_TRUE(Show());
    ExpectAnswered();
    EXPECT_EQ(fileName, Path("pic.bmp"));
    EXPECT_EQ(fileTitle, QStringLiteral("pic.bmp"));
    EXPECT_EQ(filterIndex, 2);
    EXPECT_EQ(filter, QStringLiteral("All Files (*.*)") + kNul + "*.*");
    EXPECT_TRUE(flags & platform::OFN_EXTENSIONDIFFERENT);
}

TEST_F(ShowSaveFileDialog, TurkishNamesComeBackWhole) {
    answer.typeFileName(QStringLiteral("ğüşiöçİ"));
    ASSERT_TRUE(Show());
    ExpectAnswered();
    EXPECT_EQ(fileName, Path(QStringLiteral("ğüşiöçİ.JPG")));
    EXPECT_EQ(fileTitle, QStringLiteral("ğüşiöçİ.JPG"));
}

TEST_F(ShowSaveFileDialog, CancelClearsTheOutputs) {
    fileTitle = "title";
    flags = platform::OFN_ENABLEHOOK;
    answer.cancel();
    EXPECT_FALSE(Show());
    ExpectAnswered();
    EXPECT_EQ(fileName, QString());
    EXPECT_EQ(fileTitle, QString());
    EXPECT_EQ(filter, QString());
    EXPECT_EQ(filterIndex, 0);
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(mCommonDialog::LastResult(), 0);
    EXPECT_EQ(mCommonDialog::LastExtendedError(), 0);
}

TEST_F(ShowSaveFileDialog, AnExistingFileIsReplacedOnlyAfterAYes) {
    QString question;
    answer.typeFileName("a.jpg");
    answer.answerMessageBox(QMessageBox::Yes, &question);
    ASSERT_TRUE(Show());
    ExpectAnswered();
    EXPECT_EQ(fileName, Path("a.jpg"));
    EXPECT_TRUE(question.contains("a.jpg")) << question.toStdString();
}

TEST_F(ShowSaveFileDialog, NoToTheOverwriteQuestionStaysInTheDialog) {
    bool stillOpen = false;
    answer.typeFileName("a.jpg");
    answer.answerMessageBox(QMessageBox::No);
    answer.onModal(
        "file dialog again", [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
        [&](QWidget*) { stillOpen = true; });
    answer.typeFileName("fresh");
    ASSERT_TRUE(Show());
    ExpectAnswered();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(fileName, Path("fresh.JPG"));
}

TEST_F(ShowSaveFileDialog, WithoutThePromptAnExistingFileIsTakenAtOnce) {
    answer.typeFileName("a.jpg");
    ASSERT_TRUE(Show(false));
    ExpectAnswered();
    EXPECT_EQ(fileName, Path("a.jpg"));
    EXPECT_EQ(flags, platform::OFN_HIDEREADONLY);
}

TEST_F(ShowSaveFileDialog, HookAndTemplateFlagsAreDropped) {
    flags = platform::OFN_ENABLEHOOK | platform::OFN_ENABLETEMPLATE | 0x8;
    answer.typeFileName("out.JPG");
    ASSERT_TRUE(Show());
    ExpectAnswered();
    EXPECT_EQ(flags, 0x8 | platform::OFN_OVERWRITEPROMPT | platform::OFN_HIDEREADONLY);
}

TEST_F(ShowSaveFileDialog, APathTooLongForTheBufferIsRefusedWithAMessage) {
    MsgBoxRecorder boxes;
    const int room = 259 - int(Path("").size());  // characters left for the name in a 260 buffer
    ASSERT_GT(room, 10);
    const QString tooLong = QString(room - 3, u'u') + ".JPG";  // one character over
    const QString fits = QString(room - 4, u'k') + ".JPG";     // exactly 259 characters
    answer.typeFileName(tooLong);
    answer.typeFileName(fits);
    ASSERT_TRUE(Show());
    ExpectAnswered();
    EXPECT_EQ(fileName, Path(fits));
    EXPECT_EQ(fileName.size(), 259);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_TRUE(boxes.boxes()[0].prompt.contains(QStringLiteral("çok uzun")))
        << boxes.boxes()[0].prompt.toStdString();
    EXPECT_EQ(boxes.boxes()[0].style, platform::vbExclamation);
    EXPECT_EQ(boxes.boxes()[0].title, QStringLiteral("Project1"));
}

TEST_F(ShowSaveFileDialog, AMissingFolderIsRefusedWithAMessage) {
    MsgBoxRecorder boxes;
    answer.typeFileName("nosuch/out.JPG");
    answer.cancel();
    EXPECT_FALSE(Show());
    ExpectAnswered();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_TRUE(boxes.boxes()[0].prompt.contains("nosuch"));
}

TEST_F(ShowSaveFileDialog, StartsInTheInitialFolderWithTheGivenTitle) {
    QString shownDir, title;
    answer.onModal(
        "file dialog", [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
        [&](QWidget* w) {
            shownDir = qobject_cast<QFileDialog*>(w)->directory().absolutePath();
            title = w->windowTitle();
        });
    answer.cancel();
    fileName = "ulk.jpg";
    EXPECT_FALSE(mCommonDialog::ShowSaveFileDialog(fileName, fileTitle, true, filter, filterIndex,
                                                   dir_.path(), QStringLiteral("Resmi Kaydet"), "JPG",
                                                   nullptr, flags));
    ExpectAnswered();
    EXPECT_EQ(shownDir, QDir(dir_.path()).absolutePath());
    EXPECT_EQ(title, QStringLiteral("Resmi Kaydet"));
}

TEST_F(ShowSaveFileDialog, AColonInADescriptionSplitsIt) {
    filter = QStringLiteral("Resimler: JPEG|*.JPG");
    answer.typeFileName("out");
    ASSERT_TRUE(Show());
    ExpectAnswered();
    EXPECT_EQ(filter, QStringLiteral("Resimler") + kNul + " JPEG");
}

TEST_F(ShowSaveFileDialog, OversizedArgumentsRaiseRuntimeErrors) {
    // Each call that gets as far as the dialog is cancelled, so a missing error cannot hang the test.
    auto number = [&](QString name, QString list) {
        ModalAnswerer closer;
        closer.cancel();
        try {
            mCommonDialog::ShowSaveFileDialog(name, fileTitle, true, list, filterIndex, {}, {}, "JPG",
                                              nullptr, flags);
        } catch (const platform::RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    const QString callers = kCallersFilter;
    EXPECT_EQ(number(QString(261, u'n'), callers), platform::err::InvalidArgument);
    EXPECT_EQ(number(QString(260, u'n'), callers), 0);
    EXPECT_EQ(number("ulk.jpg", QString(32768, u'f')), platform::err::Overflow);
    EXPECT_EQ(number("ulk.jpg", QString(32767, u'f')), 0);
}

}  // namespace
