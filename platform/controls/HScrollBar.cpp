#include "platform/controls/HScrollBar.h"

#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>

namespace platform {

namespace {

// Qt's styles draw no handle when the track is shorter than their minimum handle length, which a
// 49-pixel slider with its two arrows is; a short minimum keeps the value visible.
class ShortHandleStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_ScrollBarSliderMin) return 6;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

HScrollBar::HScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
    setFocusPolicy(Qt::StrongFocus);
    setInvertedControls(false);
    auto* style = new ShortHandleStyle;
    style->setParent(this);
    setStyle(style);
}

void HScrollBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Right:
        case Qt::Key_Up:
            triggerAction(SliderSingleStepAdd);
            return;
        case Qt::Key_Left:
        case Qt::Key_Down:
            triggerAction(SliderSingleStepSub);
            return;
        default:
            QScrollBar::keyPressEvent(event);
    }
}

}  // namespace platform

namespace platform {

void HScrollBar::paintEvent(QPaintEvent* event) {
    QScrollBar::paintEvent(event);
    // Scroll bars draw no focus of their own; a keyboard user must see where the arrows go.
    if (!hasFocus()) return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(rect().adjusted(1, 1, -1, -1));
}

}  // namespace platform
