#include "platform/controls/KeyPress.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace platform {

KeyPressFilter::KeyPressFilter(QWidget* control, KeyPressHandler handler)
    : QObject(control), handler_(std::move(handler)) {
    control->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || replaying_) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // Tab and Shift+Tab move the focus; they never were keys a control's handler saw.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
    const QString text = key->text();
    if (text.size() != 1) return false;  // no character, or a composed sequence we leave alone
    const char16_t typed = text.front().unicode();
    if (typed > 0x7FFF) return false;
    std::int16_t code = std::int16_t(typed);
    handler_(code);
    if (code == std::int16_t(typed)) return false;
    if (code == 0) return true;
    // Another character instead: the control gets the same key carrying the new text.
    QKeyEvent replaced(key->type(), key->key(), key->modifiers(), QString(QChar(char16_t(code))),
                       key->isAutoRepeat(), ushort(key->count()));
    replaying_ = true;
    QCoreApplication::sendEvent(watched, &replaced);
    replaying_ = false;
    return true;
}

}  // namespace platform
