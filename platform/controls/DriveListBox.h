#pragma once
// The drive list: the mounted volumes, showing the one that holds the current folder.

#include <QComboBox>

namespace platform {

class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // The current drive: the root path of a mounted volume.
    QString Drive() const;
    // Picks the volume that holds the given path; emits Change() when the drive differs.
    void setDrive(const QString& path);
    void Refresh();

signals:
    void Change();
};

}  // namespace platform
