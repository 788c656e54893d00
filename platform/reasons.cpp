#include "platform/reasons.h"

namespace platform {

namespace {

// The sentence for a cause; %1, where there is one, is the file or folder the cause is about.
const char* Sentence(core::Cause cause) {
    using core::Cause;
    switch (cause) {
        case Cause::NotFound:
            return "Böyle bir dosya ya da klasör yok.";
        case Cause::NoSuchFolder:
            return "Klasör yok.";
        case Cause::IsFolder:
            return "Bu ad bir klasörün.";
        case Cause::NotRegularFile:
            return "Bu ad düz bir dosyanın değil (aygıt, boru ya da soket).";
        case Cause::NoPermission:
            return "Bu dosyaya ya da klasöre erişim izni yok.";
        case Cause::ReadOnly:
            return "Dosya salt okunur.";
        case Cause::ReadOnlyFileSystem:
            return "Disk salt okunur (yazmaya kapalı).";
        case Cause::NameTooLong:
            return "Dosyanın adı ya da yolu çok uzun.";
        case Cause::NoFileName:
            return "Dosya adı yok.";
        case Cause::SymbolicLink:
            return "Yazılacak yerde sembolik bir bağlantı var; bağlantılar izlenmez.";
        case Cause::DanglingLink:
            return "Bu ad hiçbir şeye götürmeyen bir bağlantı.";
        case Cause::FolderUnreadable:
            return "Klasör okunamadı.";
        case Cause::ReplacedMeanwhile:
            return "Dosya kaydedilirken başka bir program onu değiştirdi.";
        case Cause::ResultExists:
            return "Sonuç zaten var (değiştirmek için \"Var olan sonuçları değiştir\").";
        case Cause::NoExclusiveCreate:
            return "Bu klasörün dosya sistemi, orada olan bir dosyayı koruyarak yeni dosya ekleyemiyor; "
                   "\"Var olan sonuçları değiştir\" seçeneğiyle ya da başka bir diske kaydedin.";
        case Cause::DiskFull:
            return "Diskte yer kalmadı.";
        case Cause::IoError:
            return "Disk okuma ya da yazma hatası.";
        case Cause::FileTooLarge:
            return "Dosya bir resim için fazla büyük.";
        case Cause::Damaged:
            return "Resim okunamadı (bozuk ya da desteklenmeyen).";
        case Cause::UnsupportedFormat:
            return "Bu tür resim desteklenmiyor.";
        case Cause::TooCostly:
            return "Resmi açmak boyutuna göre fazla emek ister; güvenlik için açılmadı.";
        case Cause::TooLarge:
            return "Resim çok büyük.";
        case Cause::OutOfMemory:
            return "Bellek yetmedi.";
        case Cause::LibraryMissing:
            return "Bu biçim için gereken kitaplık yüklenemedi.";
        case Cause::InvalidSize:
            return "Resim bu boyuta küçültülemedi.";
        case Cause::TooLargeForFormat:
            return "Resim bu biçim için fazla büyük.";
        case Cause::DoesNotFit:
            return "Sonuç istenen dosya boyutuna sığdırılamadı.";
        case Cause::EncoderFailed:
            return "Resim kodlanamadı.";
        case Cause::MetadataUnreadable:
            return "Resmin Exif bilgisi okunamadı.";
        case Cause::Overflow:
            return "Sayı sınırların dışına çıktı.";
        case Cause::DivisionByZero:
            return "Sıfıra bölme.";
        case Cause::Internal:
            return "Programın kendi hatası; bu resim yapılamadı.";
        case Cause::WouldOverwriteOriginal:
            return "Sonuç, özgün resmin ('%1') üzerine yazılırdı.";
        case Cause::SameResultAsAnother:
            return "Sonuç, '%1' resminin sonucuyla aynı dosya olurdu.";
        case Cause::EarlierResult:
            return "Daha önceki bir küçültmenin sonucu sayıldı.";
        case Cause::WrittenByRunBefore:
            return "Sonucu bu pencerede az önce yazıldı.";
    }
    return "Beklenmeyen hata.";
}

}  // namespace

QString TurkishReason(const core::Error& error) {
    QString text = QString::fromUtf8(Sentence(error.cause));
    if (text.contains(QLatin1String("%1"))) return text.arg(error.subject);
    // A link is named where the user can find it.
    if (error.cause == core::Cause::SymbolicLink && !error.subject.isEmpty())
        text = QStringLiteral("Yazılacak yerde ('%1') sembolik bir bağlantı var; bağlantılar izlenmez.")
                   .arg(error.subject);
    return text;
}

}  // namespace platform
