#include "core/file_name.h"

namespace core {

namespace {

constexpr char16_t kEscapedByte = 0xDC00;

bool IsEscapedByte(QChar c) { return c.unicode() >= kEscapedByte + 0x80 && c.unicode() <= kEscapedByte + 0xFF; }

// The length of the well-formed UTF-8 sequence at the start of s (no overlong forms, no surrogates,
// nothing past U+10FFFF), or 0.
int SequenceLength(QByteArrayView s) {
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead == 0xE0) length = 3, low = 0xA0;
    else if (lead == 0xED) length = 3, high = 0x9F;
    else if (lead >= 0xE1 && lead <= 0xEF) length = 3;
    else if (lead == 0xF0) length = 4, low = 0x90;
    else if (lead == 0xF4) length = 4, high = 0x8F;
    else if (lead >= 0xF1 && lead <= 0xF3) length = 4;
    else return 0;
    if (s.size() < length || at(1) < low || at(1) > high) return 0;
    for (int i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF) return 0;
    return length;
}

}  // namespace

QString DecodeFileName(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int length = SequenceLength(bytes.sliced(i));
        if (length == 0) {
            name += QChar(char16_t(kEscapedByte + static_cast<unsigned char>(bytes[i])));
            ++i;
        } else {
            name += QString::fromUtf8(bytes.sliced(i, length));
            i += length;
        }
    }
    return name;
}

QByteArray EncodeFileName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0;  // the run of ordinary text not yet encoded
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !IsEscapedByte(name[i])) continue;
        bytes += QStringView(name).sliced(start, i - start).toUtf8();
        if (i < name.size()) bytes += char(name[i].unicode() - kEscapedByte);
        start = i + 1;
    }
    return bytes;
}

QString ShownFileName(const QString& name) {
    QString shown = name;
    for (QChar& c : shown)
        if (IsEscapedByte(c)) c = QChar::ReplacementCharacter;
    return shown;
}

QString PrintableFileName(const QString& name) {
    QString printable;
    printable.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (IsEscapedByte(c)) {
            printable += QStringLiteral("\\x%1").arg(int(u - kEscapedByte), 2, 16, QLatin1Char('0'));
        } else if (u == '\\') {
            printable += QStringLiteral("\\\\");
        } else if (u == '\n') {
            printable += QStringLiteral("\\n");
        } else if (u == '\t') {
            printable += QStringLiteral("\\t");
        } else if (u == '\r') {
            printable += QStringLiteral("\\r");
        } else if (u < 0x20 || u == 0x7F) {
            printable += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        } else if (u >= 0x80 && u < 0xA0) {
            // The C1 controls: a terminal may take U+009B as the start of a command.
            printable += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        } else {
            printable += c;
        }
    }
    return printable;
}

}  // namespace core
