#pragma once
// Every picture format this program knows, in one table: how its files are named and typed, what the
// dialogs call it, how its first bytes are known and tell the size, which decoder reads it and which
// encoder writes it. Lists shown to users, the desktop files and the manual page all come from here.

#include "core/encode_picture.h"
#include "core/picture_decoder.h"

#include <QStringList>
#include <optional>
#include <span>

namespace core {

struct Format {
    const char* name;        // in English texts and the save dialog: "JPEG"
    const char* openName;    // the main window's open dialog's type: "Jpg"
    const char* extensions;  // lower case, space-separated; results are named with the first
    const char* mimeTypes;   // space-separated
    // Known by its first bytes; null: by Qt's reader, as qtName.
    bool (*recognise)(QByteArrayView head) = nullptr;
    // QImageReader::format() of files Qt's reader is trusted with; null: never given to it.
    const char* qtName = nullptr;
    // The stored size as the file's first bytes tell it; invalid when they do not.
    QSize (*headSize)(const QByteArray& head) = QtHeadSize;
    Result<std::unique_ptr<PictureDecoder>> (*open)(QByteArray bytes) = OpenQtImageDecoder;
    // Its library checks the data and fills in nothing that is missing: opened before the other checks.
    bool checksItself = false;
    std::optional<OutputFormat> written = std::nullopt;  // none: read only
    int mostPixelsASide = 0;                             // what a written format holds a side
    bool keepsTransparency = false;                      // else laid on white
    bool lossy = false;                                  // written at a quality
    bool lossless = false;  // written without loss; with lossy too, when asked (EncodeChoice)
    Result<QByteArray> (*encode)(const QImage& image, const EncodeChoice& choice,
                                 QByteArrayView exif) = nullptr;
};

// Every format, in the order lists show them: the main window's first.
std::span<const Format> Formats();
const Format& FormatOf(OutputFormat format);
// The format whose own test knows these first bytes; null for none (Qt's reader may still know them).
const Format* RecognisedFormat(QByteArrayView head);

// The format a file of this name is written in: the written format its extension names, in any letter
// case; JPEG for any other name, as this program has always written.
OutputFormat FormatOfName(QStringView name);
// The extension a result in the format is named with: ".jpg", ".png", ...
QString ExtensionOf(OutputFormat format);

// A format's extensions ("jpg", "jpeg") and file name patterns ("*.jpg", "*.jpeg"); those of every
// format, in the table's order; and every format's MIME types.
QStringList ExtensionsOf(const Format& format);
QStringList PatternsOf(const Format& format);
QStringList PictureExtensions();
QStringList PicturePatterns();
QStringList MimeTypes();
// The written formats, the default (JPEG) first.
QList<OutputFormat> WrittenFormats();

// "a, b and c": a list for a sentence, the last two joined by the word given.
QString SpokenList(const QStringList& items, const QString& lastJoin);

}  // namespace core
