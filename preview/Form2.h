#pragma once
// The full-size preview: a borderless window covering the screen in black that shows one picture file,
// at its own size when it fits and zoomed to fit when not. Any click or character key hides it.

#include <QString>
#include <QWidget>

namespace platform {
class PictureControl;
}

class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    // Shows the window and the picture read anew from the file. A file that cannot be read any more
    // gets a message and the window is hidden again.
    void ShowPicture(const QString& path);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void Form_Click();
    void Form_KeyPress(int keyAscii);
    void Image1_Click();

private:
    void closePreview();

    platform::PictureControl* Image1 = nullptr;
};
