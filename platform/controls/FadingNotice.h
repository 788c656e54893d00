#pragma once
// A one-line notice laid over another control: shown at once, gone after a few seconds with a short
// fade. It takes no clicks or focus and moves nothing around it.

#include <QLabel>

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QTimer;

namespace platform {

class FadingNotice : public QLabel {
    Q_OBJECT
public:
    explicit FadingNotice(QWidget* parent);

    // Shows text along the bottom edge of over (a sibling), for shownMs before it fades; a newer text
    // replaces an older one still shown.
    void Show(const QString& text, QWidget* over, int shownMs = 4000);

private:
    QGraphicsOpacityEffect* opacity_;
    QPropertyAnimation* fade_;
    QTimer* hold_;
};

}  // namespace platform
