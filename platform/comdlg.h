#pragma once
// The platform's save-file dialog: a record that says what to offer, and a call that shows Qt's own
// modal file dialog and writes the user's choice back into the record.

#include <QString>
#include <cstdint>

class QWidget;

namespace platform {

// Flags of OPENFILENAME::Flags (the values the callers and the dialog use).
constexpr int32_t OFN_OVERWRITEPROMPT = 0x2;       // ask before an existing file is chosen
constexpr int32_t OFN_HIDEREADONLY = 0x4;          // no read-only check box (Qt's dialog has none)
constexpr int32_t OFN_ENABLEHOOK = 0x20;           // hook procedures are not supported here
constexpr int32_t OFN_ENABLETEMPLATE = 0x40;       // dialog templates are not supported here
constexpr int32_t OFN_EXTENSIONDIFFERENT = 0x400;  // out: the chosen extension is not lpstrDefExt

// Extended error codes reported by CommDlgExtendedError after a failed call (0 after a cancel).
constexpr int32_t CDERR_STRUCTSIZE = 0x1;
constexpr int32_t CDERR_INITIALIZATION = 0x2;
constexpr int32_t FNERR_BUFFERTOOSMALL = 0x3003;

// Size the record announces in lStructSize.
constexpr uint32_t kOpenFileNameSize = 76;
// Characters of the usual file-name buffers, the terminating zero included.
constexpr int32_t MAX_PATH = 260;

// The dialog's record. A buffer (lpstrFile, lpstrFileTitle) is a QString of nMaxFile or nMaxFileTitle
// characters whose text ends at its first zero character.
struct OPENFILENAME {
    uint32_t lStructSize = 0;
    QWidget* hwndOwner = nullptr;  // nullptr: no owner
    // Description and pattern pairs, each item ended by a zero character, the list by one more.
    // Several patterns of one pair are separated by ";".
    QString lpstrFilter;
    int32_t nFilterIndex = 0;  // 1-based; out: the pair selected when the dialog closed
    QString lpstrFile;         // in: offered name, may carry a folder; out: the chosen full path
    int32_t nMaxFile = 0;
    QString lpstrFileTitle;  // out: the chosen file's name without its folder
    int32_t nMaxFileTitle = 0;
    QString lpstrInitialDir;  // used when lpstrFile names no folder; empty: the current folder
    QString lpstrTitle;       // empty: the dialog's own title
    int32_t Flags = 0;
    uint16_t nFileOffset = 0;     // out: where the bare name starts in lpstrFile
    uint16_t nFileExtension = 0;  // out: where the extension starts in lpstrFile, 0 without one
    // Added (after a dot) to a name typed without an extension while the chosen type allows any
    // extension ("*.*") or this one; under another type ("*.png") that type's extension is added instead.
    // Empty: none is ever added.
    QString lpstrDefExt;
};

// Shows the modal save dialog. Returns 1 when the user confirmed a name, 0 after a cancel or a failure
// (CommDlgExtendedError tells them apart). A chosen path that does not fit lpstrFile is refused inside
// the dialog with a message, so the user can shorten it.
int32_t GetSaveFileNameA(OPENFILENAME& ofn);

// The extended error of the last GetSaveFileNameA call; 0 when it succeeded or was cancelled.
int32_t CommDlgExtendedError();

}  // namespace platform
