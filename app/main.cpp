// Start-up of torv-image-resize: with --box, many pictures shrunk without a window; --help, --version and
// usage errors answered here; otherwise the window program takes over this process.
#include "app/BatchTerminal.h"
#include "app/CommandLine.h"
#include "app/WindowProgram.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    // Decided before any application object: batch work needs no display and creates no widget.
    const cli::Request request = cli::Parse(argc, argv);
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
    return cli::StartWindowProgram(argv);
}
