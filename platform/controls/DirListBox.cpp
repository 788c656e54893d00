#include "platform/controls/DirListBox.h"

#include "core/natural_order.h"

#include <QDir>
#include <QKeyEvent>
#include <algorithm>

namespace platform {

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    path_ = QDir::currentPath();
    Refresh();
    connect(this, &QListWidget::itemActivated, this, &DirListBox::openEntry);
}

void DirListBox::setPath(const QString& path) {
    const QString clean = QDir(path).absolutePath();
    if (clean == path_) return;
    if (!QDir(clean).exists()) {
        Refresh();  // drops the entry of a folder that vanished
        emit PathNotFound(clean);
        return;
    }
    path_ = clean;
    Refresh();
    emit Change();
}

void DirListBox::Refresh() {
    clear();
    // Ancestors from the root down, then the folder itself, each a step further in.
    QStringList chain;
    for (QDir dir(path_);;) {
        chain.prepend(dir.absolutePath());
        if (!dir.cdUp()) break;
    }
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = QDir(folder).isRoot() ? folder : QDir(folder).dirName();
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(Qt::UserRole, folder);
        ++depth;
    }
    setCurrentRow(count() - 1);

    QStringList children = QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(children.begin(), children.end(), core::NaturalLess);
    for (const QString& child : children) {
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + child, this);
        item->setData(Qt::UserRole, QDir(path_).absoluteFilePath(child));
    }
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        openEntry(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirListBox::openEntry(QListWidgetItem* item) {
    if (item) setPath(item->data(Qt::UserRole).toString());
}

}  // namespace platform
