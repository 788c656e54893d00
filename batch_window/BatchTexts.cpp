#include "batch_window/BatchTexts.h"

#include <QLocale>
#include <QStringList>

namespace batchtexts {

QString Bytes(qint64 bytes) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1000 && unit < 4) {
        value /= 1000;
        ++unit;
    }
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    const int decimals = unit == 0 || value >= 100 ? 0 : 1;
    return turkish.toString(value, 'f', decimals) + ' ' + QLatin1String(kUnits[unit]);
}

QString CountLine(const batch::PlanCounts& counts) {
    QString text = counts.originals == 0 ? QStringLiteral("Resim yok") : QStringLiteral("%1 resim").arg(counts.originals);
    if (counts.toSkip) text += QStringLiteral(", %1 atlanacak").arg(counts.toSkip);
    if (counts.toFail) text += QStringLiteral(", %1 yapılamayacak").arg(counts.toFail);
    return text;
}

QString Summary(int pictures, const batch::Totals& totals, int earlierResults) {
    QString text = QStringLiteral("%1 resim: %2 yazıldı, %3 atlandı, %4 başarısız")
                       .arg(pictures)
                       .arg(totals.written)
                       .arg(totals.skipped - earlierResults)
                       .arg(totals.failed);
    if (totals.notDone > 0) text += QStringLiteral(", %1 yapılmadı (iptal edildi)").arg(totals.notDone);
    if (earlierResults > 0) text += QStringLiteral(" (%1 önceki sonuç sayılmadı)").arg(earlierResults);
    if (totals.fitted > 0) text += QStringLiteral(" (%1 boyuta sığdırıldı)").arg(totals.fitted);
    if (totals.written > 0)
        text += QStringLiteral(" — %1 → %2").arg(Bytes(totals.bytesIn), Bytes(totals.bytesOut));
    return text;
}

QString GivenUp(const batch::Details& details) {
    QStringList parts;
    if (details.fitted) {
        QString fitted = QStringLiteral("sığması için %1 × %2 piksel").arg(details.size.width()).arg(details.size.height());
        if (details.quality > 0) fitted += QStringLiteral(", kalite %1").arg(details.quality);
        parts << fitted;
    }
    if (details.keptOriginal) parts << QStringLiteral("Özgün resim daha küçük, olduğu gibi kopyalandı.");
    if (details.withoutMetadata) parts << QStringLiteral("çekim bilgileri okunamadığı için bilgisiz yazıldı");
    if (details.frames > 1)
        parts << QStringLiteral("hareketli: %1 kareden yalnızca ilki kullanıldı").arg(details.frames);
    return parts.join(QStringLiteral("; "));
}

}  // namespace batchtexts
