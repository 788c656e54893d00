#pragma once
// File names are bytes, and not every name is UTF-8. Inside the program a name travels as a QString that
// keeps every byte: valid UTF-8 as its letters, any other byte b as the lone code point U+DC00 + b, which
// no real text holds. Those code points are turned back into the bytes on the way to the system.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace core {

// The name's bytes as text that gives them back byte for byte through EncodeFileName.
QString DecodeFileName(QByteArrayView bytes);
// The bytes a text made by DecodeFileName (or any ordinary text) names.
QByteArray EncodeFileName(const QString& name);
// For a window: each byte that is not text shown as the replacement character.
QString ShownFileName(const QString& name);
// For a terminal: control characters as \n, \t, \x1b and the like, bytes that are not text as \xff,
// a backslash doubled; nothing a terminal would act on is left raw.
QString PrintableFileName(const QString& name);

}  // namespace core
