#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

namespace platform {

namespace {

bool& IsOpen() {
    static bool open = false;
    return open;
}

QClipboard* SystemClipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                        : nullptr;
}

}  // namespace

bool OpenClipboard(HWND) {
    if (IsOpen() || SystemClipboard() == nullptr) return false;
    IsOpen() = true;
    return true;
}

bool EmptyClipboard() {
    if (!IsOpen()) return false;
    SystemClipboard()->clear();
    return true;
}

HANDLE SetClipboardData(std::uint32_t uFormat, HANDLE hMem) {
    if (!IsOpen() || uFormat != CF_BITMAP) return 0;
    const QImage image = BitmapImage(hMem);
    if (image.isNull()) return 0;
    // The bitmap may still be selected into a DC; then it cannot be given away.
    if (!DeleteObject(hMem)) return 0;
    SystemClipboard()->setImage(image);
    return hMem;
}

bool CloseClipboard() {
    if (!IsOpen()) return false;
    IsOpen() = false;
    return true;
}

}  // namespace platform
