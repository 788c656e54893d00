#include "dialogs/mCommonDialog.h"

#include "platform/comdlg.h"
#include "platform/runtime.h"

namespace mCommonDialog {

namespace {

constexpr int32_t kBufferLength = 260;
constexpr qsizetype kMaxFilterLength = 32767;  // the conversion counts positions in 16 bits

int32_t g_lastResult = 0;
int32_t g_lastExtendedError = 0;

QString Padded(const QString& text) {
    if (text.size() > kBufferLength) platform::Raise(platform::err::InvalidArgument);
    QString buffer = text;
    buffer.resize(kBufferLength, QChar(0));
    return buffer;
}

void ClearOutputs(QString& fileName, QString& fileTitle, QString& filter, int32_t& filterIndex,
                  int32_t& flags) {
    fileName.clear();
    fileTitle.clear();
    filter.clear();
    filterIndex = 0;
    flags = 0;
}

}  // namespace

bool ShowSaveFileDialog(QString& fileName, QString& fileTitle, bool overwritePrompt, QString& filter,
                        int32_t& filterIndex, const QString& initialDir, const QString& dialogTitle,
                        const QString& defaultExt, QWidget* owner, int32_t& flags) {
    g_lastResult = 0;
    g_lastExtendedError = 0;

    platform::OPENFILENAME ofn;
    ofn.lStructSize = platform::kOpenFileNameSize;
    ofn.Flags =
        (flags & ~(platform::OFN_ENABLEHOOK | platform::OFN_ENABLETEMPLATE)) | platform::OFN_HIDEREADONLY;
    if (overwritePrompt) ofn.Flags |= platform::OFN_OVERWRITEPROMPT;
    ofn.hwndOwner = owner;
    ofn.lpstrInitialDir = initialDir;
    ofn.lpstrTitle = dialogTitle;
    ofn.lpstrDefExt = defaultExt;

    if (filter.size() > kMaxFilterLength) platform::Raise(platform::err::Overflow);
    QString converted;
    converted.reserve(filter.size() + 2);
    for (const QChar c : filter) converted += (c == u'|' || c == u':') ? QChar(0) : c;
    converted += QChar(0);
    converted += QChar(0);
    ofn.lpstrFilter = converted;

    ofn.nFilterIndex = filterIndex;
    ofn.lpstrFile = Padded(fileName);
    ofn.nMaxFile = kBufferLength;
    ofn.lpstrFileTitle = Padded(fileTitle);
    ofn.nMaxFileTitle = kBufferLength;

    g_lastResult = platform::GetSaveFileNameA(ofn);
    if (g_lastResult == 1) {
        fileName = TextBeforeNul(ofn.lpstrFile);
        fileTitle = TextBeforeNul(ofn.lpstrFileTitle);
        flags = ofn.Flags;
        filterIndex = ofn.nFilterIndex;
        filter = FilterAtIndex(ofn.lpstrFilter, filterIndex);
        return true;
    }
    // A cancel and a failure both come back as 0; the extended error tells which it was.
    g_lastExtendedError = platform::CommDlgExtendedError();
    ClearOutputs(fileName, fileTitle, filter, filterIndex, flags);
    return false;
}

QString TextBeforeNul(const QString& text) {
    const qsizetype end = text.indexOf(QChar(0));
    return end < 0 ? text : text.left(end);
}

QString FilterAtIndex(const QString& list, int32_t n) {
    if (list.isEmpty() || n < 1) return {};
    qsizetype start = 0;
    for (;;) {
        const qsizetype first = list.indexOf(QChar(0), start);
        if (first < 0) return {};
        const qsizetype second = list.indexOf(QChar(0), first + 1);
        const QString entry = second < 0 ? list.mid(start) : list.mid(start, second - start);
        // The zero characters that end the list are no entry.
        if (entry.count(QChar(0)) == entry.size()) return {};
        if (n == 1) return entry;
        // Past the last entry there is nothing more to count (no going round to the start).
        if (second < 0) return {};
        start = second + 1;
        --n;
    }
}

int32_t LastResult() { return g_lastResult; }
int32_t LastExtendedError() { return g_lastExtendedError; }

}  // namespace mCommonDialog
