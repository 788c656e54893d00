// "Güncelle": both wanted-size entries go back to "400" when either is not a number.
#include "main_window/Form1.h"

#include "platform/runtime.h"

#include <QLineEdit>

void Form1::Command4_Click() {
    if (!platform::IsNumeric(Text1->text()) || !platform::IsNumeric(Text2->text())) {
        Text1->setText(QString::number(400));
        Text2->setText(QString::number(400));
    }
    bizim_genislik = Text1->text();
    bizim_yukseklik = Text2->text();
}
