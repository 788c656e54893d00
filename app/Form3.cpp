#include "app/Form3.h"

#include "batch_window/BatchWindow.h"
#include "main_window/Form1.h"
#include "platform/controls/PictureControl.h"
#include "platform/controls/Timer.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

Form3::Form3(QStringList pictures, bool batchWindow, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint), pictures_(std::move(pictures)), batchWindow_(batchWindow) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Form3"));
    setFixedSize(285, 235);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());

    // Slightly larger than the window and starting just above and left of it; the centred picture
    // covers the whole client area.
    Image1 = new platform::PictureControl(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(-2, -7, 289, 249);
    Image1->setPictureSizeMode(platform::PictureControl::fmPictureSizeModeClip);
    Image1->setPicture(platform::Picture::FromImage(QImage(QStringLiteral(":/torv/splash.jpg"))));

    Timer1 = new platform::Timer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &platform::Timer::Tick, this, &Form3::Timer1_Timer);

    Form_Load();
}

Form3::~Form3() = default;

void Form3::Form_Load() { Timer1->setInterval(1000); }

void Form3::Timer1_Timer() {
    hide();
    if (!form1_) form1_ = std::make_unique<Form1>();
    form1_->show();
    Timer1->setInterval(0);
    if (batchWindow_)
        BatchWindow::Open(form1_.get(), pictures_);
    else if (!pictures_.isEmpty())
        form1_->PickPicture(pictures_.first());
}
