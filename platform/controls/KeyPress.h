#pragma once
// The runtime's KeyPress event for any control: the handler gets each typed character's code by
// reference before the control sees it; setting it to 0 discards the key, another code types that
// character instead. Keys that type nothing (arrows, function keys) and the focus keys Tab and Shift+Tab
// do not reach the handler.

#include <QObject>
#include <cstdint>
#include <functional>

class QWidget;

namespace platform {

using KeyPressHandler = std::function<void(std::int16_t& KeyAscii)>;

class KeyPressFilter : public QObject {
    Q_OBJECT
public:
    // Watches control; owned by it.
    KeyPressFilter(QWidget* control, KeyPressHandler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyPressHandler handler_;
    bool replaying_ = false;
};

}  // namespace platform
