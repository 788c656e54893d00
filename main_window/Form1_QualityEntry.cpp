// The quality entry: the slider's value shown as digits in the quality box.
#include "main_window/Form1.h"

#include "platform/controls/HScrollBar.h"

#include <QLineEdit>

void Form1::HScroll1_Change() { txtQuality->setText(QString::number(HScroll1->value())); }
