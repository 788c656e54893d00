#include "batch/options.h"

namespace batch {

QList<FormatName> FormatNames() {
    QList<FormatName> names;
    for (const core::OutputFormat format : core::WrittenFormats())
        names.append({core::ExtensionOf(format).mid(1), format});
    names.append({QStringLiteral("same"), std::nullopt});
    return names;
}

int FormatNameIndex(QStringView name) {
    const QList<FormatName> names = FormatNames();
    for (int i = 0; i < names.size(); ++i)
        if (name.compare(names[i].name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace batch
