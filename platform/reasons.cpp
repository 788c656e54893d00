#include "platform/reasons.h"

#include <utility>

namespace platform {

namespace {

// The file errors the engine reports under one number, by how their messages begin.
QString FileAccessReason(const QString& message) {
    static const std::pair<const char*, const char*> kCauses[] = {
        {"no such folder", "Klasör yok."},
        {"read-only file", "Dosya salt okunur."},
        {"no permission", "Dosyaya yazma izni yok."},
        {"cannot create a file in the folder", "Klasöre yazılamıyor (izin yok ya da salt okunur)."},
        {"a folder", "Bu ad bir klasörün."},
        {"not a regular file", "Bu ad düz bir dosyanın değil (aygıt, boru ya da soket)."},
        {"a link to nothing", "Bu ad hiçbir şeye götürmeyen bir bağlantı."},
        {"file name too long", "Dosya adı çok uzun."},
        {"path too long", "Dosyanın yolu çok uzun."},
        {"no file name", "Dosya adı yok."},
        {"the file was replaced", "Dosya kaydedilirken başka bir program onu değiştirdi."},
        {"the temporary file was replaced", "Geçici dosya kaydedilirken başka bir program onu değiştirdi."},
        {"cannot read the folder", "Klasör okunamadı."},
    };
    for (const auto& [english, turkish] : kCauses)
        if (message.startsWith(QLatin1String(english))) return QString::fromUtf8(turkish);
    // Links are named in the message, so they are found inside it.
    if (message.contains(QLatin1String("is a symbolic link")))
        return QStringLiteral("Yazılacak yerde sembolik bir bağlantı var; bağlantılar izlenmez.");
    return QStringLiteral("Dosyaya ya da klasöre erişilemedi.");
}

}  // namespace

QString TurkishReason(const core::Error& error) {
    switch (error.number) {
        case core::errc::PathFileAccess:
            return FileAccessReason(error.message);
        case core::errc::DiskFull:
            return QStringLiteral("Diskte yer kalmadı.");
        case core::errc::DeviceIO:
            return QStringLiteral("Disk okuma ya da yazma hatası.");
        case core::errc::FileNotFound:
            return QStringLiteral("Dosya bulunamadı.");
        case core::errc::FileAlreadyExists:
            return QStringLiteral("Sonuç zaten var.");
        case core::errc::OutOfMemory:
            return QStringLiteral("Resim çok büyük ya da bellek yetmedi.");
        case core::errc::InvalidPicture:
            return QStringLiteral("Resim okunamadı (bozuk ya da desteklenmeyen).");
        case core::errc::InvalidArgument:
        case core::errc::Overflow:
        case core::errc::DivisionByZero:
            return QStringLiteral("Resim bu boyuta küçültülemedi.");
        default:
            return QStringLiteral("Beklenmeyen hata (%1).").arg(error.number);
    }
}

}  // namespace platform
