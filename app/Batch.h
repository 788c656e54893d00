#pragma once
// Many pictures at once, without a window, through the engine that the window uses.

#include "app/CommandLine.h"

namespace cli {

// Shrinks what the options name, a few pictures at a time; returns the exit status (0 when every picture
// was written or skipped as asked, 1 when any failed, 130 when interrupted). A line for each picture that
// failed or was skipped, a progress line when stderr is a terminal, and a summary go to stderr.
int RunBatch(const BatchOptions& options);

}  // namespace cli
