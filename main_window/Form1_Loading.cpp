// Loading a picture: the drive, folder and file lists, and "1-Aç" with its open dialog.
#include "main_window/Form1.h"

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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <new>

namespace {

// How long a pick in the file list may hold the window while its picture loads. A picture whose header
// says it is small (or that has no readable header, which is refused at once) is waited for, so that it
// is shown before the click returns however busy the machine; a large one (or one picked while another
// loads) may come a moment later, so that a held arrow key never stalls the window for long.
constexpr qint64 kSmallPicturePixels = 4'000'000;
constexpr int kSmallPictureWaitMs = 2000;
constexpr int kLargePictureWaitMs = 45;

int PickWaitMs(const QString& path) {
    // Opened without blocking and only read when it is a regular file: a pipe put in the picture's place
    // must not hold the window.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    QSize size;
    QFile file;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        size = QImageReader(&file).size();
    else if (fd >= 0)
        ::close(fd);
    return !size.isValid() || qint64(size.width()) * size.height() <= kSmallPicturePixels ? kSmallPictureWaitMs
                                                                                           : kLargePictureWaitMs;
}

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
    // The picture picked before goes at once: until the new one is loaded nothing is shown or saved.
    clearPicture();
    Image2->setPictureSizeMode(platform::PictureControl::fmPictureSizeModeClip);
    for (int i = 0; i < File1->ListCount(); ++i) {
        if (!File1->Selected(i)) continue;
        // In the root folder this gives "//name", which the loader takes as it is.
        const QString path = File1->Path() + QStringLiteral("/") + File1->List(i);
        PictureLoader->Load(path, Image2->contentsRect().size(), PickWaitMs(path));
    }
}

void Form1::File1_PictureLoaded(const QString& path, const platform::Picture& picture) {
    if (takePicture(path, picture)) showLoadedPicture(path);
}

void Form1::Command2_Click() {
    // The same pictures as the file list, in the folder it shows.
    CommonDialog1->setFilter(
        QStringLiteral("Resim|*.bmp;*.jpg;*.jpeg;*.gif;*.png;*.heic;*.heif;*.avif;*.webp;*.tif;*.tiff|Bmp|*.bmp|Gif|*.gif|"
                       "Jpg|*.jpg;*.jpeg|Png|*.png|Heic|*.heic;*.heif|Avif|*.avif|WebP|*.webp|Tiff|*.tif;*.tiff||"));
    CommonDialog1->setInitDir(File1->Path());
    CommonDialog1->ShowOpen();
    const QString name = CommonDialog1->FileName();
    if (name.isEmpty()) return;
    // A file that cannot be read leaves the picture shown before in place.
    if (!loadPicture(name)) return;
    showLoadedPicture(name);
}

bool Form1::loadPicture(const QString& path) {
    PictureLoader->Supersede();  // a pick still loading in the file list must not replace this picture
    return takePicture(path, platform::LoadPictureOrNone(path));
}

bool Form1::takePicture(const QString& path, const platform::Picture& picture) {
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
    if (!loadPicture(path)) return;
    showLoadedPicture(path);
}
