#include "platform/controls/CommandButton.h"

#include <QKeyEvent>

namespace platform {

CommandButton::CommandButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void CommandButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier &&
        !event->isAutoRepeat()) {
        animateClick();
        return;
    }
    QPushButton::keyPressEvent(event);
}

}  // namespace platform
