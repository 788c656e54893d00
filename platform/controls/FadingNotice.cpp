#include "platform/controls/FadingNotice.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QTimer>

namespace platform {

FadingNotice::FadingNotice(QWidget* parent)
    : QLabel(parent),
      opacity_(new QGraphicsOpacityEffect(this)),
      fade_(new QPropertyAnimation(opacity_, "opacity", this)),
      hold_(new QTimer(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);  // a click still reaches the preview under it
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(40, 40, 40));
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    setMargin(4);
    setGraphicsEffect(opacity_);
    fade_->setDuration(600);
    fade_->setStartValue(1.0);
    fade_->setEndValue(0.0);
    connect(fade_, &QPropertyAnimation::finished, this, &QWidget::hide);
    hold_->setSingleShot(true);
    connect(hold_, &QTimer::timeout, fade_, [this] { fade_->start(); });
    hide();
}

void FadingNotice::Show(const QString& text, QWidget* over, int shownMs) {
    fade_->stop();
    opacity_->setOpacity(1.0);
    setText(text);
    const int height = sizeHint().height();
    setGeometry(over->x(), over->y() + over->height() - height, over->width(), height);
    show();
    raise();
    hold_->start(shownMs);
}

}  // namespace platform
