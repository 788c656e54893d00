#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace cli {

namespace {

constexpr int kMostPixelsASide = 65500;  // what a JPEG can hold

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

// The folder a result lands in when it is written beside the original.
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
                             suffix = valued("s", "suffix"), jobs = valued("j", "jobs");
    const QCommandLineOption recursive(QStringList{"r", "recursive"}), keepMetadata(QStringLiteral("keep-metadata")),
        overwrite(QStringLiteral("overwrite")), help(QStringList{"h", "help"}), version(QStringLiteral("version"));
    parser.addOptions({box, quality, output, suffix, recursive, jobs, keepMetadata, overwrite, help, version});
    if (!parser.parse(arguments)) return UsageError{parser.errorText()};
    if (parser.isSet(help)) return ShowHelp{};
    if (parser.isSet(version)) return ShowVersion{};

    BatchOptions o;
    if (!parser.isSet(box)) return UsageError{QStringLiteral("--box is required for work without the window")};
    static const QRegularExpression sizePattern(QStringLiteral("^(\\d+)[xX](\\d+)$"));
    const QRegularExpressionMatch size = sizePattern.match(parser.value(box));
    const auto width = size.hasMatch() ? Number(size.captured(1), 1, kMostPixelsASide) : std::nullopt;
    const auto height = size.hasMatch() ? Number(size.captured(2), 1, kMostPixelsASide) : std::nullopt;
    if (!width || !height)
        return UsageError{QStringLiteral("--box wants WIDTHxHEIGHT, each 1 to %1, e.g. 400x400").arg(kMostPixelsASide)};
    o.box = QSize(*width, *height);
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

QString HelpText() {
    return QStringLiteral(
        "Usage: torv-image-resize [PICTURE...]\n"
        "       torv-image-resize --batch-window [PATH...]\n"
        "       torv-image-resize --box WxH [options] PATH...\n"
        "\n"
        "Without options the window opens (with the one PICTURE picked); with more than one PICTURE, a\n"
        "folder, or --batch-window, the batch window opens in front of it to shrink them all. With --box\n"
        "every picture named, and every picture in the folders named, is fitted into the box with its\n"
        "proportions kept, never enlarged, and saved as a JPEG named <name><suffix>.jpg; originals are\n"
        "never written.\n"
        "\n"
        "  -b, --box WxH        the box to fit into, e.g. 400x400 (required for batch work)\n"
        "  -q, --quality N      JPEG quality 1..100 (default 90)\n"
        "  -o, --output DIR     folder for the results (created if missing; default: beside each original)\n"
        "  -s, --suffix TEXT    added to each result's name before \".jpg\" (default \"_kucuk\"; may be empty\n"
        "                       only with --output naming another folder)\n"
        "  -r, --recursive      walk folders given in PATH (otherwise a folder means its own pictures only)\n"
        "  -j, --jobs N         pictures shrunk at the same time (default: the number of cores)\n"
        "      --keep-metadata  keep the Exif date, camera and lens fields (never GPS); Orientation written as 1\n"
        "      --overwrite      replace results that already exist (safely), instead of skipping them\n"
        "      --batch-window   open the batch window even for one PICTURE (the file manager's menus use it)\n"
        "  -h, --help           this text\n"
        "      --version        the program's version\n"
        "\n"
        "Pictures: .jpg, .jpeg, .png, .bmp, .gif, .heic, .heif, .avif, .webp, .tif and .tiff, in any letter case;\n"
        "hidden files are skipped.\n"
        "Exit status: 0 when every picture was written or skipped as asked, 1 when any failed, 2 for wrong\n"
        "usage, 130 when interrupted.\n");
}

}  // namespace cli
