// Start-up of the window program, which torv-image-resize runs in its own place when no batch work is
// asked: Qt's own texts in Turkish, then the splash, which opens the main window.
#include "app/CommandLine.h"
#include "app/Form3.h"
#include "app/QtTurkishTexts.h"
#include "batch_window/BatchRun.h"
#include "core/huge_page_image.h"
#include "core/picture.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

int main(int argc, char* argv[]) {
    // The same arguments torv-image-resize was given; anything but opening the windows is its business.
    const cli::Request request = cli::Parse(argc, argv);
    const auto* open = std::get_if<cli::OpenWindow>(&request);
    if (!open) {
        std::fputs("torv-image-resize-window: only opens the windows; run torv-image-resize instead\n",
                   stderr);
        return 2;
    }

    core::KeepFreedPictureMemory();
    QApplication app(argc, argv);
    core::AllowLargeImageReads();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/torv/icon16.png")));
    // The application id names the desktop entry; Wayland compositors and task bars find the entry, and so
    // its name and icon, by it.
    QApplication::setDesktopFileName(QStringLiteral(TORV_APP_ID));

    InstallQtTurkishTexts(app);

    // The splash only hides itself, so the program ends when the last visible window, the main window,
    // is closed.
    QApplication::setQuitOnLastWindowClosed(true);
    Form3 splash(open->pictures, open->batchWindow);
    splash.show();
    const int status = app.exec();
    // A batch stopped as its windows closed: its pictures in flight end whole (or not at all) first.
    BatchRun::WaitForAll();
    return status;
}
