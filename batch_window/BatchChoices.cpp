#include "batch_window/BatchChoices.h"

#include "platform/settings.h"

BatchChoices BatchChoices::Load() {
    const auto store = torv::Settings();
    BatchChoices choices;
    choices.toFolder = store->value("batch/toFolder", false).toBool();
    choices.folder = store->value("batch/folder").toString();
    choices.overwrite = store->value("batch/overwrite", false).toBool();
    choices.format = store->value("batch/format", choices.format).toString();
    return choices;
}

void BatchChoices::Save() const {
    const auto store = torv::Settings();
    store->setValue("batch/toFolder", toFolder);
    store->setValue("batch/folder", folder);
    store->setValue("batch/overwrite", overwrite);
    store->setValue("batch/format", format);
}
