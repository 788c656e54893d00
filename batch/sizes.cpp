#include "batch/sizes.h"

#include "core/formats.h"

#include <QRegularExpression>
#include <cmath>

namespace batch {

int MostPixelsASide() { return core::FormatOf(core::OutputFormat::Jpeg).mostPixelsASide; }

std::optional<QSize> ParseBox(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d*)\\s*[xX×]\\s*(\\d*)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return std::nullopt;
    int sides[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const QString digits = match.captured(i + 1);
        if (digits.isEmpty()) continue;
        bool ok = false;
        sides[i] = digits.toInt(&ok);
        if (!ok || sides[i] < 1 || sides[i] > MostPixelsASide()) return std::nullopt;
    }
    if (sides[0] + sides[1] == 0) return std::nullopt;
    return QSize(sides[0], sides[1]);
}

std::optional<qint64> ParseFileSize(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d+(?:[.,]\\d+)?)\\s*([km]?)(b?)\\s*$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const QString unit = match.captured(2).toUpper();
    const QString number = match.captured(1);
    if (unit.isEmpty() && number.contains(QRegularExpression(QStringLiteral("[.,]"))))
        return std::nullopt;  // a fraction of a byte
    const double scale = unit == QLatin1String("K") ? 1024.0 : unit == QLatin1String("M") ? 1024.0 * 1024 : 1.0;
    // A fraction of a kilobyte or megabyte is rounded down to whole bytes.
    const double bytes = std::floor(QString(number).replace(QLatin1Char(','), QLatin1Char('.')).toDouble() * scale);
    if (!(bytes >= 1 && bytes <= double(qint64(1) << 40))) return std::nullopt;
    return qint64(bytes);
}

}  // namespace batch
