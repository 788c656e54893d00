#include "platform/name_filters.h"

namespace platform {

namespace {

QString QtNameFilter(const QString& description, const QString& patterns) {
    QStringList qtPatterns;
    auto add = [&qtPatterns](const QString& pattern) {
        if (!qtPatterns.contains(pattern)) qtPatterns << pattern;
    };
    for (QString pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
        pattern = pattern.trimmed();
        if (pattern.isEmpty()) continue;
        if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
        // Qt's dialog matches patterns with letter case on this system; the lists come from one without.
        add(pattern);
        add(pattern.toLower());
        add(pattern.toUpper());
    }
    if (qtPatterns.isEmpty()) qtPatterns << QStringLiteral("*");
    return description + QStringLiteral(" (") + qtPatterns.join(u' ') + u')';
}

}  // namespace

QStringList QtNameFilters(const QStringList& items) {
    QStringList filters;
    for (qsizetype i = 0; i + 1 < items.size() && !items[i].isEmpty() && !items[i + 1].isEmpty(); i += 2)
        filters << QtNameFilter(items[i], items[i + 1]);
    return filters;
}

}  // namespace platform
