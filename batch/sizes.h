#pragma once
// Sizes as people type them, shared by the command line and the batch window: a box ("1920x1080",
// "1920×1920", "1920x", "x1080") and a file size ("200K", "200KB", "200kb", "1.5MB", "50000").

#include <QSize>
#include <QString>
#include <optional>

namespace batch {

// The largest side a box may have: what a JPEG holds.
int MostPixelsASide();

// WIDTHxHEIGHT with x, X or ×, or one side alone with the other 0 (unbounded); each side 1 to
// MostPixelsASide(). None for anything else, a box of no side included.
std::optional<QSize> ParseBox(const QString& text);

// A number of bytes, or of kilobytes or megabytes (K, KB, M, MB in any letter case; 1024 bytes a K),
// from 1 byte to a terabyte; a fraction of a K or M is rounded down to whole bytes, and "1.5" alone, a
// fraction of a byte, is none.
std::optional<qint64> ParseFileSize(const QString& text);

}  // namespace batch
