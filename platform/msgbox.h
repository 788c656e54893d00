#pragma once
// The runtime's message box: a modal Qt message box with the program's caption, or a recorder that tests
// put in its place.

#include <QString>
#include <functional>

namespace platform {

// Message boxes. Style values combine buttons and icon as the runtime does.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

inline constexpr const char* kAppTitle = "Project1";

int MsgBox(const QString& prompt, int style = vbOKOnly,
           const QString& title = QString::fromLatin1(kAppTitle));

// Tests swap the box for a recorder so that nothing blocks on a modal window. Returns the old handler;
// an empty handler restores the real box.
using MsgBoxHandler = std::function<int(const QString& prompt, int style, const QString& title)>;
MsgBoxHandler SetMsgBoxHandler(MsgBoxHandler handler);

}  // namespace platform
