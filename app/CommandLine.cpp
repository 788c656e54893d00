#include "app/CommandLine.h"

#include "batch/sizes.h"
#include "core/file_name.h"
#include "core/formats.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace cli {

namespace {

bool HasOptions(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--")) return false;
        if (arguments[i].startsWith(QLatin1Char('-')) && arguments[i] != QLatin1String("-")) return true;
    }
    return false;
}

std::optional<int> Number(const QString& text, int least, int most) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < least || n > most) return std::nullopt;
    return n;
}

// "50%", "12.5%" or "50": above 0 and at most 100, since a result is never enlarged.
std::optional<double> Percent(QString text) {
    if (text.endsWith(QLatin1Char('%'))) text.chop(1);
    static const QRegularExpression number(QStringLiteral("^\\d+(\\.\\d+)?$"));
    if (!number.match(text).hasMatch()) return std::nullopt;
    const double p = text.toDouble();
    if (!(p > 0 && p <= 100)) return std::nullopt;
    return p;
}

// The folder a result lands in when it is written beside the original.
// A format written with or without loss: --lossless chooses.
bool LosslessAsked(const core::Format& format) { return format.lossy && format.lossless; }

QString FolderOf(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() ? info.canonicalFilePath() : info.canonicalPath();
}

}  // namespace

Request Parse(const QStringList& given) {
    // --batch-window goes with pictures and folders only; after "--" it names a file.
    QStringList arguments = given;
    const qsizetype at = arguments.indexOf(QStringLiteral("--batch-window")),
                    names = arguments.indexOf(QStringLiteral("--"));
    const bool batchWindow = at >= 0 && (names < 0 || at < names);
    if (batchWindow) arguments.removeAt(at);
    if (!HasOptions(arguments)) {
        QStringList pictures = arguments.mid(1);
        pictures.removeAll(QStringLiteral("--"));
        const bool folder = std::any_of(pictures.begin(), pictures.end(),
                                        [](const QString& p) { return QFileInfo(p).isDir(); });
        return OpenWindow{pictures, batchWindow || pictures.size() > 1 || folder};
    }
    if (batchWindow) return UsageError{QStringLiteral("--batch-window takes no other options")};

    QCommandLineParser parser;
    const auto valued = [](const char* letter, const char* name) {
        return QCommandLineOption(QStringList{QString::fromLatin1(letter), QString::fromLatin1(name)}, QString(),
                                  QStringLiteral("value"));
    };
    const QCommandLineOption box = valued("b", "box"), quality = valued("q", "quality"), output = valued("o", "output"),
                             suffix = valued("s", "suffix"), jobs = valued("j", "jobs"),
                             format = valued("f", "format");
    const QCommandLineOption scale(QStringLiteral("scale"), QString(), QStringLiteral("value")),
        maxSize(QStringLiteral("max-size"), QString(), QStringLiteral("value"));
    const QCommandLineOption recursive(QStringList{"r", "recursive"}), keepMetadata(QStringLiteral("keep-metadata")),
        overwrite(QStringLiteral("overwrite")), lossless(QStringLiteral("lossless")), help(QStringList{"h", "help"}),
        version(QStringLiteral("version"));
    parser.addOptions({box, scale, maxSize, quality, output, suffix, recursive, jobs, keepMetadata, overwrite,
                       format, lossless, help, version});
    if (!parser.parse(arguments)) return UsageError{parser.errorText()};
    if (parser.isSet(help)) return ShowHelp{};
    if (parser.isSet(version)) return ShowVersion{};

    BatchOptions o;
    if (!parser.isSet(box) && !parser.isSet(scale))
        return UsageError{QStringLiteral("--box or --scale is required for work without the window")};
    if (parser.isSet(box) && parser.isSet(scale))
        return UsageError{QStringLiteral("--box and --scale exclude each other")};
    if (parser.isSet(box)) {
        const std::optional<QSize> size = batch::ParseBox(parser.value(box));
        if (!size)
            return UsageError{
                QStringLiteral("--box wants WIDTHxHEIGHT, WIDTHx or xHEIGHT, each 1 to %1, e.g. 400x400")
                    .arg(batch::MostPixelsASide())};
        o.box = *size;
    } else {
        const auto percent = Percent(parser.value(scale));
        if (!percent)
            return UsageError{QStringLiteral("--scale wants a percentage above 0 and at most 100, e.g. 50%")};
        o.scalePercent = *percent;
    }
    if (parser.isSet(maxSize)) {
        const auto bytes = batch::ParseFileSize(parser.value(maxSize));
        if (!bytes)
            return UsageError{QStringLiteral("--max-size wants a whole size such as 200K, 200KB, 1.5MB or 50000 (bytes)")};
        o.maxBytes = *bytes;
    }
    if (parser.isSet(quality)) {
        const auto q = Number(parser.value(quality), 1, 100);
        if (!q) return UsageError{QStringLiteral("--quality wants a whole number from 1 to 100")};
        o.quality = *q;
    }
    if (parser.isSet(jobs)) {
        const auto j = Number(parser.value(jobs), 1, 256);
        if (!j) return UsageError{QStringLiteral("--jobs wants a whole number from 1 to 256")};
        o.jobs = *j;
    }
    if (parser.isSet(format)) {
        const int named = batch::FormatNameIndex(parser.value(format));
        if (named < 0) {
            QStringList names;
            for (const batch::FormatName& f : batch::FormatNames()) names += f.name;
            return UsageError{
                QStringLiteral("--format wants %1").arg(core::SpokenList(names, QStringLiteral("or")))};
        }
        o.format = batch::FormatNames()[named].format;
    }
    o.lossless = parser.isSet(lossless);
    if (o.lossless && o.format && !LosslessAsked(core::FormatOf(*o.format))) {
        QStringList names, options;
        for (const batch::FormatName& f : batch::FormatNames())
            if (!f.format || LosslessAsked(core::FormatOf(*f.format))) {
                if (f.format) names += QLatin1String(core::FormatOf(*f.format).name);
                options += f.format ? QStringLiteral("--format ") + f.name : f.name;
            }
        return UsageError{QStringLiteral("--lossless is for %1 results: %2")
                              .arg(core::SpokenList(names, QStringLiteral("or")),
                                   core::SpokenList(options, QStringLiteral("or")))};
    }
    o.outputFolder = parser.value(output);
    if (parser.isSet(suffix)) o.suffix = parser.value(suffix);
    if (o.suffix.contains(QLatin1Char('/'))) return UsageError{QStringLiteral("--suffix may not contain '/'")};
    o.recursive = parser.isSet(recursive);
    o.keepMetadata = parser.isSet(keepMetadata);
    o.overwrite = parser.isSet(overwrite);
    o.paths = parser.positionalArguments();
    if (o.paths.isEmpty()) return UsageError{QStringLiteral("no pictures or folders given")};

    // Without a suffix a result would take its original's name, which only another folder allows.
    if (o.suffix.isEmpty()) {
        if (o.outputFolder.isEmpty())
            return UsageError{QStringLiteral("an empty --suffix needs --output naming another folder")};
        const QString out = QFileInfo(o.outputFolder).canonicalFilePath();
        for (const QString& path : o.paths)
            if (!out.isEmpty() && FolderOf(path) == out)
                return UsageError{QStringLiteral("an empty --suffix needs --output naming another folder than '%1'").arg(path)};
    }
    return o;
}

Request Parse(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << core::DecodeFileName(argv[i]);
    return Parse(arguments);
}

QString HelpText() {
    QStringList dotted;
    for (const QString& extension : core::PictureExtensions()) dotted += u'.' + extension;
    return QStringLiteral(
        "Usage: torv-image-resize [PICTURE...]\n"
        "       torv-image-resize --batch-window [PATH...]\n"
        "       torv-image-resize --box WxH [options] PATH...\n"
        "       torv-image-resize --scale PERCENT [options] PATH...\n"
        "\n"
        "Without options the window opens (with the one PICTURE picked); with more than one PICTURE, a\n"
        "folder, or --batch-window, the batch window opens in front of it to shrink them all. With --box\n"
        "or --scale every picture named, and every picture in the folders named, is shrunk with its\n"
        "proportions kept, never enlarged, and saved as a JPEG named <name><suffix>.jpg (or as PNG or WebP\n"
        "with --format, named .png or .webp); originals are never written.\n"
        "\n"
        "  -b, --box WxH        the box to fit into, e.g. 400x400 or 400×400; 1920x bounds the width only,\n"
        "                       x1080 the height only (sides are then rounded to the nearest pixel)\n"
        "      --scale PERCENT  each side this percentage of the picture's, 0 < PERCENT <= 100, e.g. 50%\n"
        "                       (rounded to the nearest pixel; --box or --scale is required for batch work)\n"
        "      --max-size SIZE  each result at most SIZE: 200K, 200KB, 1.5MB (K = 1024 bytes) or whole bytes;\n"
        "                       the highest quality from 30 to -q that fits, and if 30 does not fit, fewer\n"
        "                       pixels, step by step (a line says which); a PNG or lossless WebP that does\n"
        "                       not fit fails\n"
        "  -f, --format FORMAT  jpg (default), png, webp, or same: PNG stays PNG, WebP stays WebP, the rest\n"
        "                       become JPEG\n"
        "  -q, --quality N      JPEG and WebP quality 1..100 (default 90)\n"
        "      --lossless       WebP results without loss (quality is then not used)\n"
        "  -o, --output DIR     folder for the results (created if missing; default: beside each original)\n"
        "  -s, --suffix TEXT    added to each result's name before its extension (default \"_kucuk\"; may be\n"
        "                       empty only with --output naming another folder)\n"
        "  -r, --recursive      walk folders given in PATH (otherwise a folder means its own pictures only)\n"
        "  -j, --jobs N         pictures shrunk at the same time (default: the number of cores)\n"
        "      --keep-metadata  keep the Exif date, camera, lens, artist and copyright fields (never GPS, serial\n"
        "                       numbers, maker notes or thumbnails) of JPEG, HEIF, WebP and PNG originals and of a\n"
        "                       TIFF's own tags; Orientation written as 1. A picture whose Exif cannot be read or\n"
        "                       carried is written without it, with a line saying so\n"
        "      --overwrite      replace results that already exist (safely), instead of skipping them\n"
        "      --batch-window   open the batch window even for one PICTURE (the file manager's menus use it)\n"
        "  -h, --help           this text\n"
        "      --version        the program's version\n"
        "\n"
        "Pictures: %1, in any letter case;\n"
        "hidden files are skipped.\n"
        "Exit status: 0 when every picture was written or skipped as asked, 1 when any failed, 2 for wrong\n"
        "usage, 130 when interrupted (Ctrl+C; a second one stops at once), 143 when ended by SIGTERM.\n")
        .arg(core::SpokenList(dotted, QStringLiteral("and")));
}

}  // namespace cli
