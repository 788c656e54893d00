#include "batch_window/BatchChoices.h"

#include "batch/options.h"
#include "batch/sizes.h"
#include "platform/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {

QSet<QString>& PickedFolders() {
    static QSet<QString> picked;
    return picked;
}

// The folder, with its links resolved as far as it exists, lies in the home folder.
bool InHome(const QString& folder) {
    QString real = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty()) {
        // Not made yet: what it will be made in decides.
        QString existing = QDir::cleanPath(folder);
        while (!existing.isEmpty() && !QFileInfo::exists(existing) && existing != QLatin1String("/"))
            existing = QFileInfo(existing).path();
        real = QFileInfo(existing).canonicalFilePath();
        if (real.isEmpty()) return false;
    }
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    return !home.isEmpty() && home != QLatin1String("/") && (real == home || real.startsWith(home + '/'));
}

}  // namespace

void BatchChoices::PickedInDialog(const QString& folder) { PickedFolders().insert(QDir::cleanPath(folder)); }

BatchChoices BatchChoices::Load() {
    const auto store = torv::Settings();
    BatchChoices choices;
    const auto box = batch::ParseBox(store->value("batch/box").toString());
    if (box && box->width() > 0 && box->height() > 0) choices.box = *box;
    choices.quality = std::clamp(store->value("batch/quality", choices.quality).toInt(), 1, 100);
    if (const QString most = store->value("batch/maxKilobytes").toString(); batch::ParseFileSize(most + 'K'))
        choices.maxKilobytes = most;
    choices.keepMetadata = store->value("batch/keepMetadata", false).toBool();
    const QString format = store->value("batch/format", choices.format).toString();
    const QList<batch::FormatName> names = batch::FormatNames();
    if (std::any_of(names.begin(), names.end(), [&](const batch::FormatName& f) { return format == f.name; }))
        choices.format = format;
    const QString folder = store->value("batch/folder").toString();
    if (!folder.isEmpty() && (InHome(folder) || PickedFolders().contains(QDir::cleanPath(folder)))) {
        choices.folder = folder;
        choices.toFolder = store->value("batch/toFolder", false).toBool();
    }
    choices.overwrite = store->value("batch/overwrite", false).toBool();
    return choices;
}

void BatchChoices::Save() const {
    const auto store = torv::Settings();
    store->setValue("batch/box", QStringLiteral("%1x%2").arg(box.width()).arg(box.height()));
    store->setValue("batch/quality", quality);
    store->setValue("batch/maxKilobytes", maxKilobytes);
    store->setValue("batch/keepMetadata", keepMetadata);
    store->setValue("batch/toFolder", toFolder);
    store->setValue("batch/folder", folder);
    store->setValue("batch/overwrite", overwrite);
    store->setValue("batch/format", format);
}
