#pragma once
// The horizontal slider: takes keyboard focus and shows it, and Right/Up raise the value while Left/Down
// lower it (Qt's horizontal scroll bar does the opposite for some of these and takes no focus).

#include <QScrollBar>

namespace platform {

class HScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit HScrollBar(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace platform
