#pragma once
// The folder list: the current folder's ancestors, the folder itself and its subfolders.
// A double click or Enter on an entry opens that folder.

#include <QListWidget>

namespace platform {

class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    QString Path() const { return path_; }
    // Opens a folder; emits Change() when it differs from the current one.
    void setPath(const QString& path);
    void Refresh();

signals:
    void Change();
    // A folder asked for does not exist (it may have vanished since it was listed); the path stays.
    void PathNotFound(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openEntry(QListWidgetItem* item);

    QString path_;
};

}  // namespace platform
