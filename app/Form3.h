#pragma once
// The start-up splash: a borderless window with the product picture that, about a second after it
// comes up, hides itself and opens the main window once, with the picture it was given picked, or the
// batch window over the pictures in front of it.

#include <QStringList>
#include <QWidget>
#include <memory>

class Form1;

namespace platform {
class PictureControl;
class Timer;
}  // namespace platform

class Form3 : public QWidget {
    Q_OBJECT
public:
    // pictures: the first is picked in the main window once it is up, unless batchWindow, which opens the
    // batch window over all of them.
    explicit Form3(QStringList pictures = {}, bool batchWindow = false, QWidget* parent = nullptr);
    ~Form3() override;

    // The main window once the splash has opened it, else null.
    Form1* mainWindow() const { return form1_.get(); }

private slots:
    void Form_Load();
    void Timer1_Timer();

private:
    platform::PictureControl* Image1 = nullptr;
    platform::Timer* Timer1 = nullptr;
    std::unique_ptr<Form1> form1_;  // a top-level window of its own; the splash only keeps it alive
    QStringList pictures_;
    bool batchWindow_ = false;
};
