#include "platform/controls/FileListBox.h"

#include "core/natural_order.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <algorithm>

namespace platform {

FileListBox::FileListBox(QWidget* parent, const QString& pattern) : QListWidget(parent), pattern_(pattern) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    path_ = QDir::currentPath();
    Refresh();
    // A mouse press makes an entry current before it selects it; only the selection says which entry
    // the click is about, so the click follows the selection.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!refreshing_ && !selectedItems().isEmpty()) emit Click();
    });
}

void FileListBox::setPath(const QString& path) {
    const QString folder = QDir(path).absolutePath();
    if (folder != path_) {
        refreshing_ = true;
        clear();  // another folder's entry of the same name is another picture
        refreshing_ = false;
        path_ = folder;
    }
    Refresh();
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    Refresh();
}

void FileListBox::Refresh() {
    refreshing_ = true;
    const QString picked = currentItem() && currentItem()->isSelected() ? currentItem()->text() : QString();
    clear();
    QDir dir(path_);
    // Name filters of QDir ignore case unless asked otherwise. Regular files only: pipes, devices and
    // dangling links are no pictures, and a pipe would hold whoever opened it.
    dir.setNameFilters(pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts));
    dir.setFilter(QDir::Files | QDir::Hidden);
    QStringList names = dir.entryList();
    // Qt counts a device as a file, also behind a link: only what is a regular file in the end stays.
    names.removeIf([&](const QString& name) {
        struct stat st {};
        return ::stat(QFile::encodeName(dir.filePath(name)).constData(), &st) != 0 || !S_ISREG(st.st_mode);
    });
    std::sort(names.begin(), names.end(), core::NaturalLess);
    addItems(names);
    // The same folder listed again keeps the entry that was picked, without picking it anew.
    const QList<QListWidgetItem*> again = picked.isEmpty() ? QList<QListWidgetItem*>() : findItems(picked, Qt::MatchExactly);
    setCurrentItem(again.isEmpty() ? nullptr : again.front());
    if (again.isEmpty()) setCurrentRow(-1);
    refreshing_ = false;
}

QString FileListBox::List(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

bool FileListBox::Selected(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry && entry->isSelected();
}

void FileListBox::keyPressEvent(QKeyEvent* event) {
    int keyAscii = 0;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        keyAscii = 13;
    } else if (event->text().size() == 1) {
        keyAscii = event->text().at(0).unicode();
    }
    if (keyAscii != 0) {
        emit KeyPress(keyAscii);
        if (keyAscii == 0) return;
    }
    QListWidget::keyPressEvent(event);
}

void FileListBox::focusInEvent(QFocusEvent* event) {
    // Qt makes the first entry current when the list gets focus; here focus alone selects nothing.
    const int before = currentRow();
    refreshing_ = true;
    QListWidget::focusInEvent(event);
    if (before < 0 && currentRow() >= 0) setCurrentRow(-1);
    refreshing_ = false;
}

}  // namespace platform
