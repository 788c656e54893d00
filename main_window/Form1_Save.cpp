// The two save commands: the shrunk picture in Picture2 written to a file the user names, as JPEG, or as
// PNG or WebP, with the picture's transparency, when the name says so.
#include "main_window/Form1.h"

#include "core/formats.h"
#include "dialogs/mCommonDialog.h"
#include "image/cDIBSection.h"
#include "jpeg/mIntelJPEGLibrary.h"
#include "platform/controls/FadingNotice.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"
#include "platform/msgbox.h"
#include "platform/reasons.h"
#include "platform/runtime.h"
#include "platform/settings.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

namespace {

constexpr qsizetype kMaxOfferedPath = 260;  // the dialog's file-name buffer
constexpr char kSaveFolderKey[] = "MainWindow/saveFolder";

// Where the save dialog offers "ulk.jpg": the folder of the last successful save, kept between runs,
// while it is still a folder; the home folder otherwise.
QString SaveFolder() {
    const QString folder = torv::Settings()->value(QLatin1String(kSaveFolderKey)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

// Why a save failed, in the user's words: the engine's cause where it gave one, else the runtime's number.
QString SaveFailureReason(const platform::RuntimeError& error) {
    if (error.cause()) return platform::TurkishReason(*error.cause());
    if (error.number() == platform::err::OutOfMemory) return QStringLiteral("Bellek yetmedi.");
    return QStringLiteral("Resim kodlanamadı (hata %1).").arg(error.number());
}

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
    const QString saveFolder = SaveFolder();
    QString sFileName = saveFolder + QStringLiteral("/ulk.jpg");
    QString sInitialDir;
    if (sFileName.size() > kMaxOfferedPath) {
        sInitialDir = saveFolder;
        sFileName = QStringLiteral("ulk.jpg");
    }
    QString sFileTitle;
    // A name typed without an extension gets the chosen type's: ".JPG" as it always has, ".png", ".webp".
    QString sFilter;
    for (const core::OutputFormat written : core::WrittenFormats()) {
        const QString extension = core::ExtensionOf(written).mid(1);
        // JPEG's pattern in capitals, as it has always been offered.
        const QString pattern = written == core::OutputFormat::Jpeg ? extension.toUpper() : extension;
        sFilter += QStringLiteral("%1 Files (*.%2)|*.%3|")
                       .arg(QLatin1String(core::FormatOf(written).name), extension.toUpper(), pattern);
    }
    sFilter += QStringLiteral("All Files (*.*)|*.*");
    std::int32_t lFilterIndex = 1;
    std::int32_t lFlags = 0;
    if (!mCommonDialog::ShowSaveFileDialog(sFileName, sFileTitle, true, sFilter, lFilterIndex, sInitialDir,
                                           QString(), QStringLiteral("JPG"), this, lFlags))
        return;

    // The quality box counts as it stands once the dialog has closed.
    const std::int32_t lQuality = bQualityFromBox ? kalite_oku() : kStandardQuality;

    bool bSaved = false;
    QString reason;
    try {
        bSaved = mIntelJPEGLibrary::WritePictureFile(cDib, sFileName, lQuality, shrunkWithAlpha_.pixels());
    } catch (const platform::RuntimeError& e) {
        reason = SaveFailureReason(e);
    } catch (const std::exception&) {
        reason = QStringLiteral("Bellek yetmedi.");  // std::bad_alloc is the one other way out
    }
    if (!bSaved) {
        // The first line as it has always been, the reason under it; the user may try another name.
        platform::MsgBox(QStringLiteral("Failed to save the picture to the file: '") + sFileName + u'\'' +
                             u'\n' + reason,
                         platform::vbExclamation);
        return;
    }
    const QFileInfo saved(sFileName);
    SaveNotice->Show(QStringLiteral("Kaydedildi: %1 (%2 × %3 piksel, %4)")
                         .arg(saved.fileName())
                         .arg(cDib.Width())
                         .arg(cDib.Height())
                         .arg(KiloBytesText(saved.size())),
                     Image2);
    const QString folder = saved.absolutePath();
    torv::Settings()->setValue(QLatin1String(kSaveFolderKey), folder);
    // A result saved where the file list looks shows up there at once.
    if (QFileInfo(folder) == QFileInfo(File1->Path())) File1->Refresh();
}
