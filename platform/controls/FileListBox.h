#pragma once
// The file list: the files of one folder that match a pattern such as "*.jpg;*.png", sorted
// naturally, at most one selected.

#include <QListWidget>

namespace platform {

class FileListBox : public QListWidget {
    Q_OBJECT
public:
    // Lists the current folder's files that match pattern.
    explicit FileListBox(QWidget* parent = nullptr, const QString& pattern = QStringLiteral("*.*"));

    QString Path() const { return path_; }
    void setPath(const QString& path);
    QString Pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    // Lists the folder again, keeping the picked entry when it is still there.
    void Refresh();

    int ListCount() const { return count(); }
    // The file name of an entry, every byte kept (core/file_name.h); empty out of range.
    QString List(int index) const;
    bool Selected(int index) const;
    int ListIndex() const { return currentRow(); }
    void setListIndex(int index) { setCurrentRow(index); }

signals:
    // The selected entry changed by mouse or keyboard (not by a new folder or pattern).
    void Click();
    // A character key, as its code (Enter is 13, Backspace 8, Escape 27); set it to 0 to swallow it.
    void KeyPress(int& keyAscii);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QString path_;
    QString pattern_;
    bool refreshing_ = false;
};

}  // namespace platform
