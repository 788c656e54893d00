#pragma once
// The command button: a push button that Enter presses as well as Space, as on the platform the
// program's users know, where a focused button takes Enter.

#include <QPushButton>

namespace platform {

class CommandButton : public QPushButton {
    Q_OBJECT
public:
    CommandButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace platform
