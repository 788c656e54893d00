// Fills the format lists of the files shipped beside the program (desktop entries, AppStream data, manual
// page) from the program's own format table, so that they never disagree with what it reads.
//   format_lists TEMPLATE OUTPUT   writes TEMPLATE with each {{list}} replaced
//   format_lists --print LIST      prints one list (for the tests)

#include "core/formats.h"

#include <QFile>
#include <QRegularExpression>
#include <cstdio>

namespace {

// A manual page's run of bold words: `.jpg ", " .png " or " .webp`.
QString ManList(const QStringList& words, const QString& lastJoin) {
    QString text;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i > 0)
            text += i + 1 == words.size() ? QStringLiteral(" \" %1 \" ").arg(lastJoin)
                                          : QStringLiteral(" \", \" ");
        text += words[i];
    }
    return text;
}

QStringList Dotted(const QStringList& extensions) {
    QStringList dotted;
    for (const QString& e : extensions) dotted += u'.' + e;
    return dotted;
}

// The list named, its lines after the first indented by indent; null for an unknown name.
QString List(const QString& name, const QString& indent) {
    if (name == QLatin1String("mime-types")) return core::MimeTypes().join(u';') + u';';
    if (name == QLatin1String("mediatypes")) {
        QStringList lines;
        for (const QString& type : core::MimeTypes())
            lines += QStringLiteral("<mediatype>%1</mediatype>").arg(type);
        return lines.join(u'\n' + indent);
    }
    if (name == QLatin1String("man-picture-extensions"))
        return ManList(Dotted(core::PictureExtensions()), QStringLiteral("and"));
    if (name == QLatin1String("man-result-extensions")) {
        QStringList results;
        for (const core::OutputFormat f : core::WrittenFormats()) results += core::ExtensionOf(f);
        return ManList(results, QStringLiteral("or"));
    }
    if (name == QLatin1String("most-box-side"))
        return QString::number(core::FormatOf(core::OutputFormat::Jpeg).mostPixelsASide);
    return {};
}

int Fail(const QString& message) {
    std::fprintf(stderr, "format_lists: %s\n", qPrintable(message));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Fail(QStringLiteral("usage: format_lists TEMPLATE OUTPUT | --print LIST"));
    const QString first = QString::fromLocal8Bit(argv[1]);
    const QString second = QString::fromLocal8Bit(argv[2]);
    if (first == QLatin1String("--print")) {
        const QString list = List(second, QString());
        if (list.isNull()) return Fail(QStringLiteral("no list named %1").arg(second));
        std::printf("%s\n", qPrintable(list));
        return 0;
    }
    QFile in(first);
    if (!in.open(QIODevice::ReadOnly)) return Fail(QStringLiteral("cannot read %1").arg(first));
    QString text = QString::fromUtf8(in.readAll());
    static const QRegularExpression kPlace(QStringLiteral("^([ \\t]*)(.*?)\\{\\{([a-z-]+)\\}\\}"),
                                           QRegularExpression::MultilineOption);
    for (QRegularExpressionMatch m = kPlace.match(text); m.hasMatch(); m = kPlace.match(text)) {
        const QString list = List(m.captured(3), m.captured(1));
        if (list.isNull()) return Fail(QStringLiteral("%1: no list named %2").arg(first, m.captured(3)));
        text.replace(m.capturedStart(3) - 2, m.capturedLength(3) + 4, list);
    }
    QFile out(second);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text.toUtf8()) < 0 || !out.flush())
        return Fail(QStringLiteral("cannot write %1").arg(second));
    return 0;
}
