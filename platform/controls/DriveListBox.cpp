#include "platform/controls/DriveListBox.h"

#include <QDir>
#include <QStorageInfo>

namespace platform {

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    Refresh();
    setDrive(QDir::currentPath());
    connect(this, &QComboBox::activated, this, [this] { emit Change(); });
}

QString DriveListBox::Drive() const { return currentData().toString(); }

void DriveListBox::Refresh() {
    const QString current = Drive();
    QSignalBlocker block(this);
    clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString root = volume.rootPath();
        if (findData(root) >= 0) continue;
        addItem(root, root);
    }
    const int index = findData(current);
    if (index >= 0) setCurrentIndex(index);
}

void DriveListBox::setDrive(const QString& path) {
    const QString root = QStorageInfo(path).rootPath();
    if (root.isEmpty()) return;
    int index = findData(root);
    if (index < 0) {
        addItem(root, root);
        index = count() - 1;
    }
    if (index == currentIndex()) return;
    setCurrentIndex(index);
    emit Change();
}

}  // namespace platform
