#include "batch_window/BatchChoices.h"

#include <QSettings>

namespace {
constexpr char kOrganisation[] = "torv", kApplication[] = "torv-image-resize";
}  // namespace

BatchChoices BatchChoices::Load() {
    const QSettings store(QSettings::IniFormat, QSettings::UserScope, kOrganisation, kApplication);
    BatchChoices choices;
    choices.toFolder = store.value("batch/toFolder", false).toBool();
    choices.folder = store.value("batch/folder").toString();
    choices.overwrite = store.value("batch/overwrite", false).toBool();
    return choices;
}

void BatchChoices::Save() const {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, kOrganisation, kApplication);
    store.setValue("batch/toFolder", toFolder);
    store.setValue("batch/folder", folder);
    store.setValue("batch/overwrite", overwrite);
}
