#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Torv Image Resizer"));
    window.resize(896, 528);
    window.show();
    return app.exec();
}
