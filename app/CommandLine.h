#pragma once
// What the command line asks for: the window (with pictures to open, or none), many pictures shrunk
// without a window, the help, the version, or a usage error with its reason.

#include "batch/options.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <variant>

namespace cli {

struct OpenWindow {
    QStringList pictures;  // the first is picked once the window is up
    // The batch window over the pictures, in front of the main window: for more than one picture, a
    // folder, or --batch-window.
    bool batchWindow = false;
};

using BatchOptions = batch::Options;

struct ShowHelp {};
struct ShowVersion {};
struct UsageError {
    QString reason;
};

using Request = std::variant<OpenWindow, BatchOptions, ShowHelp, ShowVersion, UsageError>;

// Without options (or with --batch-window alone): the window; with --box or --scale: batch work; a lone
// -h, --help or --version says so.
Request Parse(const QStringList& arguments);
// The same over main's arguments, whose names are bytes and kept whole even where they are not text.
Request Parse(int argc, char** argv);

// The text of --help.
QString HelpText();

}  // namespace cli
