#include "batch_window/TurkishReasons.h"

#include "platform/reasons.h"

#include <QRegularExpression>

namespace {

// The plan's notes; a quoted name in them is carried over.
QString FromPlanNote(const QString& note) {
    static const struct {
        const char* english;
        const char* turkish;
    } kNotes[] = {
        {"^no such file or folder$", "Böyle bir dosya ya da klasör yok."},
        {"^would overwrite the original '(.*)'$", "Sonuç, özgün resmin ('%1') üzerine yazılırdı."},
        {"^the same result as '(.*)'$", "Sonuç, '%1' resminin sonucuyla aynı dosya olurdu."},
        {"^the result '(.*)' is a symbolic link$", "Sonucun adında ('%1') sembolik bir bağlantı var; bağlantılar izlenmez."},
        {"^exists", "Sonuç zaten var (değiştirmek için \"Var olan sonuçları değiştir\")."},
        {"^taken for a result of an earlier run$", "Daha önceki bir küçültmenin sonucu sayıldı."},
        {"^written by the run that was stopped$", "Sonucu, durdurulan küçültmede yazıldı."},
    };
    for (const auto& n : kNotes) {
        const QRegularExpressionMatch match = QRegularExpression(QString::fromLatin1(n.english)).match(note);
        if (match.hasMatch()) {
            QString text = QString::fromUtf8(n.turkish);
            return match.lastCapturedIndex() >= 1 ? text.arg(match.captured(1)) : text;
        }
    }
    // The plan's other notes are what it found reading files and folders.
    return platform::TurkishReason({core::errc::PathFileAccess, note});
}

}  // namespace

QString TurkishReason(int errorNumber, const QString& englishNote) {
    return errorNumber == 0 ? FromPlanNote(englishNote) : platform::TurkishReason({errorNumber, englishNote});
}
