// The quality entry: the slider's value shown as digits in the quality box, a key filter that lets
// only digits and backspace in, and the reading of the box as the quality to save with.
#include "main_window/Form1.h"

#include "platform/controls/HScrollBar.h"
#include "platform/runtime.h"

#include <QLineEdit>

void Form1::HScroll1_Change() {
    txtQuality->setText(QString::number(HScroll1->value()));
    requestSizeEstimate();
}

void Form1::txtQuality_KeyPress(std::int16_t& KeyAscii) {
    constexpr std::int16_t backspace = 8;
    if (KeyAscii == backspace) return;
    if (KeyAscii < '0' || KeyAscii > '9') KeyAscii = 0;
}

std::int32_t Form1::kalite_oku() {
    // Any text that is no usable 32-bit number means the usual quality, and the box says so.
    try {
        return platform::CLng(txtQuality->text());
    } catch (const platform::RuntimeError&) {
        txtQuality->setText(QString::number(kStandardQuality));
        return kStandardQuality;
    }
}
