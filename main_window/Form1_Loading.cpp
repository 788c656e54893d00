// Loading a picture: the drive, folder and file lists, and "1-Aç" with its open dialog.
#include "main_window/Form1.h"

#include "core/formats.h"
#include "main_window/LatestPictureLoader.h"

#include "platform/controls/CommonDialog.h"
#include "platform/controls/DirListBox.h"
#include "platform/controls/DriveListBox.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"
#include "platform/picture.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <new>

namespace {

// What the preview says while a picked picture is still on its way.
const QString kLoadingText = QStringLiteral("Yükleniyor…");

bool FolderReadable(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

}  // namespace

void Form1::Drive1_Change() {
    // The drive's current folder is the process's one when it lies on that drive, else its root.
    const QString drive = Drive1->Drive();
    const QString current = QDir::currentPath();
    const QString folder = QStorageInfo(current).rootPath() == drive ? current : drive;
    if (!FolderReadable(folder)) {
        platform::MsgBox(QStringLiteral("Sürücü okunamadı: '%1'").arg(drive), platform::vbExclamation);
        // Back to the drive of the folder still shown, so the lists agree.
        const QSignalBlocker quiet(Drive1);
        Drive1->setDrive(Dir1->Path());
        return;
    }
    Dir1->setPath(folder);
}

void Form1::Dir1_Change() {
    File1->setPath(Dir1->Path());
    if (!FolderReadable(Dir1->Path()))
        platform::MsgBox(QStringLiteral("Klasör okunamadı: '%1'").arg(Dir1->Path()), platform::vbExclamation);
}

void Form1::Dir1_PathNotFound(const QString& path) {
    platform::MsgBox(QStringLiteral("Klasör okunamadı: '%1'").arg(path), platform::vbExclamation);
}

void Form1::File1_Click() {
    // The picture picked before goes at once, and one still loading will not come: until the new one is
    // loaded nothing is shown or saved.
    PictureLoader->Supersede();
    clearPicture();
    Image2->setPictureSizeMode(platform::PictureControl::fmPictureSizeModeClip);
    for (int i = 0; i < File1->ListCount(); ++i) {
        if (!File1->Selected(i)) continue;
        // In the root folder this gives "//name", which the loader takes as it is.
        const QString path = File1->Path() + QStringLiteral("/") + File1->List(i);
        // Said until the picture comes, unless it is quick enough to come before the click returns.
        Image2->setStatusText(kLoadingText);
        PictureLoader->Load(path, Image2->contentsRect().size());
    }
}

void Form1::File1_PictureLoaded(const QString& path, const platform::Picture& picture) {
    if (takePicture(path, picture)) showLoadedPicture(path);
}

void Form1::Command2_Click() {
    // The same pictures as the file list, in the folder it shows.
    QString filter = QStringLiteral("Resim|") + core::PicturePatterns().join(u';');
    for (const core::Format& format : core::Formats())
        filter += u'|' + QLatin1String(format.openName) + u'|' + core::PatternsOf(format).join(u';');
    CommonDialog1->setFilter(filter + QStringLiteral("||"));
    CommonDialog1->setInitDir(File1->Path());
    CommonDialog1->ShowOpen();
    const QString name = CommonDialog1->FileName();
    if (name.isEmpty()) return;
    loadPicture(name);
}

void Form1::loadPicture(const QString& path) {
    // Loaded as a pick in the list is, superseding one still loading there. A picture that cannot be read
    // at once leaves the one shown before in place; one that takes longer replaces it by the word that
    // it is coming, so that nothing but the newest pick is ever shrunk or saved.
    if (PictureLoader->Load(path, Image2->contentsRect().size())) return;
    clearPicture();
    Image2->setStatusText(kLoadingText);
}

bool Form1::takePicture(const QString& path, const platform::Picture& picture) {
    Image2->setStatusText(QString());
    if (picture.isEmpty()) {
        platform::MsgBox(QStringLiteral("Resim dosyası açılamadı: '%1'").arg(path), platform::vbExclamation);
        return false;
    }
    Picture1->setPicture(picture);
    return true;
}

void Form1::clearPicture() {
    Picture1->setPicture(platform::Picture());
    Image2->setPicture(platform::Picture());
    Image2->setStatusText(QString());
    Image2->setToolTip(QString());
    dosya_yolu = QVariant();
    resim_genislik = QVariant();
    resim_yukseklik = QVariant();
    Text6->clear();
    Text7->clear();
    clearShrunkPicture();
}

void Form1::clearShrunkPicture() {
    // A save writes what the user sees: another picture's shrunk result must not stay behind.
    Picture2->setPicture(platform::Picture());
    shrunkWithAlpha_ = platform::Picture();
    requestSizeEstimate();  // none while there is no result
    Text3->clear();
    Text4->clear();
    Text5->clear();
}

void Form1::showLoadedPicture(const QString& path) {
    // The preview shows Picture1's own picture; the file is read once.
    Image2->setPicture(Picture1->Picture());
    measurePicture();
    dosya_yolu = path;
    Image2->setToolTip(QFileInfo(path).fileName());  // the caption stays the program's; the name shows here
    clearShrunkPicture();
    // Own size when the picture fits the preview, zoomed to fit when not.
    Image2->fitPictureSizeMode();
}

void Form1::measurePicture() {
    const platform::Picture picture = Picture1->Picture();
    resim_genislik = Picture1->ScaleX(picture.Width(), platform::vbHimetric, platform::vbPixels);
    resim_yukseklik = Picture1->ScaleY(picture.Height(), platform::vbHimetric, platform::vbPixels);
    showPictureSize();
}

void Form1::showPictureSize() {
    Text6->setText(QString::number(qint64(platform::Round(resim_genislik.toDouble()))));
    Text7->setText(QString::number(qint64(platform::Round(resim_yukseklik.toDouble()))));
}

void Form1::PickPicture(const QString& path) {
    const QFileInfo file(path);
    if (file.isFile()) {
        Drive1->setDrive(file.absolutePath());
        Dir1->setPath(file.absolutePath());
        const QList<QListWidgetItem*> entry = File1->findItems(file.fileName(), Qt::MatchExactly);
        if (entry.size() == 1) {
            // As a click on the entry: File1_Click loads it, or loads it again when it is picked already.
            File1->scrollToItem(entry.front());
            if (File1->currentItem() == entry.front() && entry.front()->isSelected())
                File1_Click();
            else
                File1->setCurrentItem(entry.front());
            return;
        }
    }
    loadPicture(path);
}
