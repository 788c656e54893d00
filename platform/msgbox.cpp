#include "platform/msgbox.h"

#include <QMessageBox>

namespace platform {

namespace {

MsgBoxHandler& Handler() {
    static MsgBoxHandler handler;
    return handler;
}

int ShowRealBox(const QString& prompt, int style, const QString& title) {
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(prompt);
    switch (style & 0x70) {
        case vbCritical:
            box.setIcon(QMessageBox::Critical);
            break;
        case vbQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case vbExclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case vbInformation:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    switch (style & 0x7) {
        case vbOKCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case vbYesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return vbCancel;
        case QMessageBox::Yes:
            return vbYes;
        case QMessageBox::No:
            return vbNo;
        default:
            return vbOK;
    }
}

}  // namespace

int MsgBox(const QString& prompt, int style, const QString& title) {
    if (Handler()) return Handler()(prompt, style, title);
    return ShowRealBox(prompt, style, title);
}

MsgBoxHandler SetMsgBoxHandler(MsgBoxHandler handler) {
    MsgBoxHandler old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}

}  // namespace platform
