#pragma once
// The save-file dialog in one call that takes and returns plain texts and numbers.

#include <QString>
#include <cstdint>

class QWidget;

namespace mCommonDialog {

// Shows the modal save dialog. filter holds description and pattern pairs, every item separated from
// the next by "|" (a ":" separates too). Returns true when the user chose a name: fileName is then the
// full path, fileTitle the bare name, filter the chosen pair (description, a zero character, pattern),
// filterIndex its 1-based index and flags the dialog's final flags. Otherwise returns false with all of
// them cleared. A fileName or fileTitle over 260 characters raises runtime error 5, a filter over
// 32767 characters runtime error 6. owner nullptr: no owner window.
bool ShowSaveFileDialog(QString& fileName, QString& fileTitle, bool overwritePrompt, QString& filter,
                        int32_t& filterIndex, const QString& initialDir, const QString& dialogTitle,
                        const QString& defaultExt, QWidget* owner, int32_t& flags);

// The characters of text before its first zero character; all of it when it has none.
QString TextBeforeNul(const QString& text);

// The n-th (1-based) entry of a zero-separated filter list: a description, a zero character and a
// pattern. Empty when the list has no such entry.
QString FilterAtIndex(const QString& list, int32_t n);

// What the last ShowSaveFileDialog call left: the dialog's result (1 chosen, 0 not) and its extended
// error code (0 after a choice or a cancel).
int32_t LastResult();
int32_t LastExtendedError();

}  // namespace mCommonDialog
