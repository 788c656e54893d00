// Start-up: Qt's own texts in Turkish, then the splash, which opens the main window.
#include "app/Form3.h"
#include "app/QtTurkishTexts.h"
#include "core/picture.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    core::AllowLargeImageReads();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/torv/icon16.png")));
    QApplication::setDesktopFileName(QStringLiteral("torv-image-resize"));

    InstallQtTurkishTexts(app);

    // The splash only hides itself, so the program ends when the last visible window, the main window,
    // is closed.
    QApplication::setQuitOnLastWindowClosed(true);
    Form3 splash;
    splash.show();
    return app.exec();
}
