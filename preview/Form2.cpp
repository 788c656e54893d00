#include "preview/Form2.h"

#include "platform/controls/PictureControl.h"
#include "platform/picture.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"

#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>
#include <new>

namespace {
constexpr int kTwipsPerPixel = 15;
constexpr int kImageLeftTwips = 120;
}  // namespace

Form2::Form2(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    setWindowIcon(QIcon(QStringLiteral(":/torv/icon16.png")));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    resize(4680 / kTwipsPerPixel, 3090 / kTwipsPerPixel);

    Image1 = new platform::PictureControl(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    constexpr int offset = kImageLeftTwips / kTwipsPerPixel;
    Image1->setGeometry(offset, offset, 3375 / kTwipsPerPixel, 2655 / kTwipsPerPixel);
    connect(Image1, &platform::PictureControl::clicked, this, &Form2::Image1_Click);
}

Form2::~Form2() = default;

void Form2::ShowPicture(const QString& path) {
    // The whole screen at once, so that the size below is the one shown, not the window's earlier one.
    setGeometry(screen()->geometry());
    showFullScreen();
    raise();
    activateWindow();
    Image1->setPicture(platform::Picture());
    Image1->setPictureSizeMode(platform::PictureControl::fmPictureSizeModeClip);
    // At its own size the picture is placed as it always was: reaching past the right and bottom edges
    // by the control's own offset from the top-left corner.
    Image1->setGeometry(kImageLeftTwips / kTwipsPerPixel, kImageLeftTwips / kTwipsPerPixel, frameGeometry().width(),
                        frameGeometry().height());

    const platform::Picture picture = platform::LoadPictureOrNone(path);
    if (picture.isEmpty()) {
        platform::MsgBox(QStringLiteral("Resim dosyası açılamadı: '%1'").arg(path), platform::vbExclamation);
        closePreview();
        return;
    }
    Image1->setPicture(picture);
    Image1->fitPictureSizeMode();
    // Zoomed, the picture fits the visible window, centred, nothing cut off by the offset.
    if (Image1->PictureSizeMode() == platform::PictureControl::fmPictureSizeModeZoom) Image1->setGeometry(rect());
}

void Form2::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) Form_Click();
}

void Form2::keyPressEvent(QKeyEvent* event) {
    // Only keys that produce a character; arrows and function keys produce none.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Form_KeyPress(13);
    } else if (!event->text().isEmpty()) {
        Form_KeyPress(event->text().at(0).unicode());
    } else {
        QWidget::keyPressEvent(event);
    }
}

void Form2::Form_Click() { closePreview(); }

void Form2::Form_KeyPress(int /*keyAscii*/) { closePreview(); }

void Form2::Image1_Click() { closePreview(); }

void Form2::closePreview() {
    Image1->setPicture(platform::Picture());
    hide();
}
