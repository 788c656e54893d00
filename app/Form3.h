#pragma once
// The start-up splash: a borderless window with the product picture that, about a second after it
// comes up, hides itself and opens the main window once, with the picture it was given picked.

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
    // picture: a file to pick in the main window once it is up; none when empty.
    explicit Form3(QString picture = QString(), QWidget* parent = nullptr);
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
    QString picture_;
};
