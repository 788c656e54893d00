#include "batch_window/TurkishReasons.h"

#include "core/result.h"

#include <QRegularExpression>

namespace {

// The plan's notes; a quoted name in them is carried over.
QString FromPlanNote(const QString& note) {
    static const struct {
        const char* english;
        const char* turkish;
    } kNotes[] = {
        {"^no such file or folder$", "böyle bir dosya ya da klasör yok"},
        {"^would overwrite the original '(.*)'$", "sonuç, özgün resmin ('%1') üzerine yazılırdı"},
        {"^the same result as '(.*)'$", "sonuç, '%1' resminin sonucuyla aynı dosya olurdu"},
        {"^the result '(.*)' is a symbolic link$", "sonucun adında ('%1') sembolik bir bağlantı var; bağlantılar izlenmez"},
        {"^exists", "sonuç zaten var (değiştirmek için \"Var olan sonuçları değiştir\")"},
    };
    for (const auto& n : kNotes) {
        const QRegularExpressionMatch match = QRegularExpression(QString::fromLatin1(n.english)).match(note);
        if (match.hasMatch()) {
            QString text = QString::fromUtf8(n.turkish);
            return match.lastCapturedIndex() >= 1 ? text.arg(match.captured(1)) : text;
        }
    }
    // A note this window does not know yet still says what happened, in the engine's words.
    return QStringLiteral("yapılamadı (%1)").arg(note);
}

}  // namespace

QString TurkishReason(int errorNumber, const QString& englishNote) {
    switch (errorNumber) {
        case 0:
            return FromPlanNote(englishNote);
        case core::errc::FileNotFound:
            return QStringLiteral("dosya bulunamadı");
        case core::errc::PathFileAccess:
            return QStringLiteral("dosyaya ya da klasöre erişilemedi");
        case core::errc::DeviceIO:
            return QStringLiteral("okuma ya da yazma hatası");
        case core::errc::DiskFull:
            return QStringLiteral("disk dolu");
        case core::errc::OutOfMemory:
            return QStringLiteral("resim çok büyük ya da bellek yetmedi");
        case core::errc::InvalidPicture:
            return QStringLiteral("resim okunamadı (bozuk ya da desteklenmeyen)");
        case core::errc::InvalidArgument:
        case core::errc::Overflow:
        case core::errc::DivisionByZero:
            return QStringLiteral("resim bu boyuta küçültülemedi");
        default:
            return QStringLiteral("beklenmeyen hata (%1)").arg(errorNumber);
    }
}
