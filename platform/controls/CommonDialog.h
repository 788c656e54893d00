#pragma once
// The common dialog control, open side: a file-type list, a modal open dialog for one existing file,
// and the chosen file's name.

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace platform {

class CommonDialog : public QObject {
    Q_OBJECT
public:
    // owner: the window the dialog is modal to (nullptr: the application).
    explicit CommonDialog(QWidget* owner = nullptr);

    // "description|patterns|description|patterns||", patterns separated by ";"; the first pair is
    // preselected.
    QString Filter() const { return filter_; }
    void setFilter(const QString& filter) { filter_ = filter; }

    // The chosen file's full path; empty after a cancel. A name set beforehand is offered in the dialog.
    QString FileName() const { return fileName_; }
    void setFileName(const QString& name) { fileName_ = name; }

    // The folder the dialog opens in when no name is offered; empty: the process's current folder.
    QString InitDir() const { return initDir_; }
    void setInitDir(const QString& folder) { initDir_ = folder; }

    // Shows Qt's own open dialog, modal, for an existing file; returns when the user has chosen or cancelled.
    void ShowOpen();

private:
    QPointer<QWidget> owner_;
    QString filter_;
    QString fileName_;
    QString initDir_;
};

}  // namespace platform
