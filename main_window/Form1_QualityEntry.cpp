// The quality entry: the slider's value shown as digits in the quality box, and read back as a number.
#include "main_window/Form1.h"

#include "platform/controls/HScrollBar.h"
#include "platform/runtime.h"

#include <QLineEdit>
#include <QLocale>
#include <cmath>
#include <limits>

void Form1::HScroll1_Change() { txtQuality->setText(QString::number(HScroll1->value())); }

std::int32_t Form1::kalite_oku() {
    constexpr std::int32_t kFallback = 90;
    // Decimal text in the user's locale; a fraction rounds to the nearest whole number, halves to even.
    bool bOk = false;
    const double dValue = QLocale().toDouble(txtQuality->text().trimmed(), &bOk);
    const double dRounded = bOk && std::isfinite(dValue) ? platform::Round(dValue) : 0.0;
    if (!bOk || !std::isfinite(dValue) || dRounded < double(std::numeric_limits<std::int32_t>::min()) ||
        dRounded > double(std::numeric_limits<std::int32_t>::max())) {
        txtQuality->setText(QString::number(kFallback));
        return kFallback;
    }
    return std::int32_t(dRounded);
}
