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
const QString kThreeTypes = QStringLiteral("JPEG Files (*.JPG)|*.JPG|PNG Files (*.PNG)|*.png|All Files (*.*)|*.*");

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

TEST_F(ShowSaveFileDialog, WhatComesBackForATypedName) {
    using namespace platform;
    const QString jpegPair = QStringLiteral("JPEG Files (*.JPG)") + kNul + "*.JPG";
    const struct {
        const char* what;
        int type;  // the file type chosen, 1-based
        QString typed;
        bool prompt;
        int32_t flagsIn;
        QString filterIn;
        QString name, filterOut;
        int32_t flagsOut;
    } cases[] = {
        {"no extension gets the default one", 1, "out", true, 0, kCallersFilter, "out.JPG", jpegPair,
         OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY},
        {"all files keep another extension", 2, "pic.bmp", true, 0, kCallersFilter, "pic.bmp",
         QStringLiteral("All Files (*.*)") + kNul + "*.*", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXTENSIONDIFFERENT},
        {"Turkish letters come back whole", 1, QStringLiteral("ğüşiöçİ"), true, 0, kCallersFilter,
         QStringLiteral("ğüşiöçİ.JPG"), jpegPair, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY},
        {"without the prompt an existing file is taken at once", 1, "a.jpg", false, 0, kCallersFilter, "a.jpg",
         jpegPair, OFN_HIDEREADONLY},
        {"hook and template flags are dropped", 1, "out.JPG", true, OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | 0x8,
         kCallersFilter, "out.JPG", jpegPair, 0x8 | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY},
        {"a colon splits a description", 1, "out", true, 0, QStringLiteral("Resimler: JPEG|*.JPG"), "out.JPG",
         QStringLiteral("Resimler") + kNul + " JPEG", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY},
        {"no extension gets the chosen type's", 2, "out", true, 0, kThreeTypes, "out.png",
         QStringLiteral("PNG Files (*.PNG)") + kNul + "*.png", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXTENSIONDIFFERENT},
        {"a type of any extension gives the default one", 3, "out", true, 0, kThreeTypes, "out.JPG",
         QStringLiteral("All Files (*.*)") + kNul + "*.*", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY},
        {"a typed extension outweighs the type", 2, "pic.jpg", true, 0, kThreeTypes, "pic.jpg",
         QStringLiteral("PNG Files (*.PNG)") + kNul + "*.png", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModalAnswerer typing;
        if (c.type != 1) typing.selectFilter(c.type);
        typing.typeFileName(c.typed);
        filter = c.filterIn;
        filterIndex = 1;
        flags = c.flagsIn;
        ASSERT_TRUE(Show(c.prompt));
        EXPECT_TRUE(typing.done() && typing.failures().isEmpty()) << typing.failures().join(u'\n').toStdString();
        EXPECT_EQ(fileName, Path(c.name));
        EXPECT_EQ(fileTitle, c.name);
        EXPECT_EQ(filterIndex, c.type);
        EXPECT_EQ(filter, c.filterOut);
        EXPECT_EQ(flags, c.flagsOut);
        EXPECT_EQ(mCommonDialog::LastResult(), 1);
        EXPECT_EQ(mCommonDialog::LastExtendedError(), 0);
    }
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

TEST_F(ShowSaveFileDialog, TheQuestionIsAboutTheNameWithTheChosenTypesExtension) {
    Touch("eski.png");
    QString question;
    filter = kThreeTypes;
    answer.selectFilter(2);
    answer.typeFileName("eski");
    answer.answerMessageBox(QMessageBox::Yes, &question);
    ASSERT_TRUE(Show());
    ExpectAnswered();
    EXPECT_EQ(fileName, Path("eski.png"));
    EXPECT_TRUE(question.contains("eski.png")) << question.toStdString();
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

TEST_F(ShowSaveFileDialog, AFolderNameOpensTheFolderInstead) {
    // The dialog takes a folder's name as the wish to look inside it: it never comes back as the file.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("klasor.jpg"));
    QString shown;
    answer.typeFileName("klasor.jpg");
    answer.onModal(
        "file dialog inside the folder", [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
        [&](QWidget* w) { shown = qobject_cast<QFileDialog*>(w)->directory().absolutePath(); });
    answer.cancel();
    EXPECT_FALSE(Show());
    ExpectAnswered();
    EXPECT_EQ(shown, QDir(Path("klasor.jpg")).absolutePath());
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
