// Start-up: with --box, many pictures shrunk without a window; otherwise Qt's own texts in Turkish, then
// the splash, which opens the main window.
#include "app/BatchTerminal.h"
#include "app/CommandLine.h"
#include "app/Form3.h"
#include "app/QtTurkishTexts.h"
#include "core/file_name.h"
#include "core/picture.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

namespace {

QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    // Paths are bytes: kept whole even where they are not text.
    for (int i = 0; i < argc; ++i) arguments << core::DecodeFileName(argv[i]);
    return arguments;
}

int Window(int argc, char** argv, const cli::OpenWindow& request) {
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
    Form3 splash(request.pictures, request.batchWindow);
    splash.show();
    return app.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    // Decided before any application object: batch work needs no display and creates no widget.
    const cli::Request request = cli::Parse(Arguments(argc, argv));
    if (const auto* batch = std::get_if<cli::BatchOptions>(&request)) {
        QCoreApplication app(argc, argv);
        return cli::RunBatch(*batch);
    }
    if (std::holds_alternative<cli::ShowHelp>(request)) {
        std::fputs(qPrintable(cli::HelpText()), stdout);
        return 0;
    }
    if (std::holds_alternative<cli::ShowVersion>(request)) {
        std::printf("torv-image-resize %s\n", TORV_VERSION);
        return 0;
    }
    if (const auto* error = std::get_if<cli::UsageError>(&request)) {
        std::fprintf(stderr, "torv-image-resize: %s\nTry 'torv-image-resize --help' for more.\n", qPrintable(error->reason));
        return 2;
    }
    return Window(argc, argv, std::get<cli::OpenWindow>(request));
}
