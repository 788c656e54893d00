#include "platform/controls/FileListBox.h"

#include "core/file_name.h"
#include "core/natural_order.h"
#include "core/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QKeyEvent>
#include <QRegularExpression>
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

// The folder's regular files (also behind a link) whose names match one of the patterns, ignoring case.
// Read as bytes, since Qt's listing passes over names that are not text; each name kept whole.
static QStringList FilesMatching(const QString& folder, const QString& pattern) {
    QList<QRegularExpression> filters;
    for (const QString& one : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        filters << QRegularExpression(QRegularExpression::wildcardToRegularExpression(one),
                                      QRegularExpression::CaseInsensitiveOption);
    QStringList names;
    core::UniqueFd opened(
        ::open(core::EncodeFileName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = opened.valid() ? ::fdopendir(opened.get()) : nullptr;
    if (!dir) return names;
    const int fd = opened.release();  // the listing's own now, closed with it
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = core::DecodeFileName(entry->d_name);
        const QString shown = core::ShownFileName(name);  // a regular expression takes text only
        // Pipes, devices and dangling links are no pictures, and a pipe would hold whoever opened it.
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
        if (std::any_of(filters.begin(), filters.end(), [&](const QRegularExpression& f) { return f.match(shown).hasMatch(); }))
            names << name;
    }
    ::closedir(dir);
    return names;
}

void FileListBox::Refresh() {
    refreshing_ = true;
    const QString picked = currentItem() && currentItem()->isSelected() ? currentItem()->data(Qt::UserRole).toString() : QString();
    clear();
    QStringList names = FilesMatching(path_, pattern_);
    std::sort(names.begin(), names.end(), core::NaturalLess);
    QListWidgetItem* again = nullptr;
    for (const QString& name : names) {
        // Shown with the replacement character where a byte is not text; opened by its own bytes.
        auto* entry = new QListWidgetItem(core::ShownFileName(name), this);
        entry->setData(Qt::UserRole, name);
        if (name == picked) again = entry;
    }
    // The same folder listed again keeps the entry that was picked, without picking it anew.
    setCurrentItem(again);
    if (!again) setCurrentRow(-1);
    refreshing_ = false;
}

QString FileListBox::List(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(Qt::UserRole).toString() : QString();
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
