#pragma once
// Small file chores of tests that check what a save left on disk.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testfiles {

// The file's bytes; a null array when it cannot be read.
QByteArray ReadBytes(const QString& path);
// Writes bytes as the whole file and returns them, so a test can keep them for comparison; a null array
// when the file cannot be written.
QByteArray WriteBytes(const QString& path, const QByteArray& bytes);
// The names of the files in a folder, hidden ones included: a temporary file left behind shows up here.
QStringList FilesIn(const QString& folder);

}  // namespace testfiles
