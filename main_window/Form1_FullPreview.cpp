// The full-size preview of the current picture file: a click on the preview or Enter in the file list.
#include "main_window/Form1.h"

#include "preview/Form2.h"

void Form1::Image2_Click() {
    if (dosya_yolu.toString().isEmpty()) return;
    if (!Form2) Form2 = std::make_unique<::Form2>();
    Form2->ShowPicture(dosya_yolu.toString());
}

void Form1::File1_KeyPress(int& keyAscii) {
    if (keyAscii == 13) Image2_Click();
}
