// The two save commands: the shrunk picture in Picture2 written as a JPEG file the user names.
#include "main_window/Form1.h"

#include "dialogs/mCommonDialog.h"
#include "image/cDIBSection.h"
#include "jpeg/mIntelJPEGLibrary.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureBox.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

namespace {

constexpr qsizetype kMaxOfferedPath = 260;  // the dialog's file-name buffer

}  // namespace

void Form1::cmdSaveStdPic_Click() { resmi_kaydet(false); }

void Form1::cmdSaveQualityPic_Click() { resmi_kaydet(true); }

void Form1::resmi_kaydet(bool bQualityFromBox) {
    // Nothing shrunk (or the picture changed since): say so before any dialog, write nothing.
    if (Picture2->Picture().isEmpty()) {
        platform::MsgBox(QStringLiteral("Önce resmi küçültün."), platform::vbExclamation);
        return;
    }
    // A fresh buffer on every click, filled before the dialog.
    cDIBSection cDib;
    cDib.CreateFromPicture(Picture2->Picture());

    // "ulk.jpg" in the folder of the last save, or the home folder; a path too long for the dialog's
    // buffer is given as the folder.
    if (saveFolder_.isEmpty()) saveFolder_ = QDir::homePath();
    QString sFileName = saveFolder_ + QStringLiteral("/ulk.jpg");
    QString sInitialDir;
    if (sFileName.size() > kMaxOfferedPath) {
        sInitialDir = saveFolder_;
        sFileName = QStringLiteral("ulk.jpg");
    }
    QString sFileTitle;
    QString sFilter = QStringLiteral("JPEG Files (*.JPG)|*.JPG|All Files (*.*)|*.*");
    std::int32_t lFilterIndex = 1;
    std::int32_t lFlags = 0;
    if (!mCommonDialog::ShowSaveFileDialog(sFileName, sFileTitle, true, sFilter, lFilterIndex, sInitialDir,
                                           QString(), QStringLiteral("JPG"), this, lFlags))
        return;

    // The quality box counts as it stands once the dialog has closed.
    const std::int32_t lQuality = bQualityFromBox ? kalite_oku() : kStandardQuality;

    bool bSaved = false;
    try {
        bSaved = mIntelJPEGLibrary::WriteJpegFile(cDib, sFileName, lQuality);
    } catch (const std::exception&) {
        // Whatever went wrong, the user learns it from the one message below and may try another name.
        bSaved = false;
    }
    if (!bSaved) {
        platform::MsgBox(QStringLiteral("Failed to save the picture to the file: '") + sFileName + u'\'',
                         platform::vbExclamation);
        return;
    }
    const QString folder = QFileInfo(sFileName).absolutePath();
    saveFolder_ = folder;
    // A result saved where the file list looks shows up there at once.
    if (QFileInfo(folder) == QFileInfo(File1->Path())) File1->Refresh();
}
