#pragma once
// The system clipboard as the program sees it: opened, emptied, handed a bitmap and closed within one
// call. Backed by QClipboard; a bitmap handed over is turned into the clipboard's image and deleted.

#include "platform/gdi.h"

#include <cstdint>

namespace platform {

using HANDLE = std::uint32_t;

constexpr std::uint32_t CF_BITMAP = 2;

// Fails (false) while the clipboard is already open, or without a GUI application.
bool OpenClipboard(HWND hWndNewOwner);
bool EmptyClipboard();
// Only CF_BITMAP with a bitmap handle is taken; on success the bitmap belongs to the clipboard (and is
// gone), and the handle is returned. 0 when refused: the caller still owns the bitmap.
HANDLE SetClipboardData(std::uint32_t uFormat, HANDLE hMem);
bool CloseClipboard();

}  // namespace platform
