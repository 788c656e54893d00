// Copies the buffer to the clipboard as a bitmap in the screen's own format.
#include "image/cDIBSection.h"

#include "platform/clipboard.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"

using namespace platform;

bool cDIBSection::CopyToClipboard(bool bAsDIB) {
    bool result = false;
    const HWND lhWnd = GetDesktopWindow();
    const HDC lhDC = GetDC(lhWnd);
    if (lhDC == 0) return false;
    const HDC lhDCMemory = CreateCompatibleDC(lhDC);
    if (lhDCMemory != 0) {
        if (bAsDIB) {
            MsgBox(
                QStringLiteral("I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!"),
                vbOKOnly);
        } else {
            // A released buffer keeps its size but has no pixels: it copies nothing, rather than putting
            // a black bitmap in place of what the user had on the clipboard.
            const HBITMAP hBmp = hDib() != 0 ? CreateCompatibleBitmap(lhDC, Width(), Height()) : 0;
            if (hBmp != 0) {
                const HGDIOBJ hBmpOld = SelectObject(lhDCMemory, hBmp);
                PaintPicture(lhDCMemory);
                SelectObject(lhDCMemory, hBmpOld);
                if (OpenClipboard(0)) {
                    EmptyClipboard();
                    result = SetClipboardData(CF_BITMAP, hBmp) != 0;
                    CloseClipboard();
                }
                // A bitmap the clipboard did not take belongs to nobody else.
                if (!result) DeleteObject(hBmp);
            }
        }
        DeleteDC(lhDCMemory);
    }
    ReleaseDC(lhWnd, lhDC);
    return result;
}
