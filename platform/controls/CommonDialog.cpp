#include "platform/controls/CommonDialog.h"

#include "platform/name_filters.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace platform {

CommonDialog::CommonDialog(QWidget* owner) : QObject(owner), owner_(owner) {}

void CommonDialog::ShowOpen() {
    QFileDialog dialog(owner_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    const QStringList filters = QtNameFilters(filter_.split(u'|'));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
    }
    if (!fileName_.isEmpty()) {
        const QFileInfo offered(fileName_);
        dialog.setDirectory(offered.absolutePath());
        dialog.selectFile(offered.fileName());
    } else {
        dialog.setDirectory(initDir_.isEmpty() ? QDir::currentPath() : initDir_);
    }
    // A cancel leaves no name behind, so that the caller cannot mistake an earlier pick for a new one.
    fileName_.clear();
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        fileName_ = dialog.selectedFiles().first();
}

}  // namespace platform
