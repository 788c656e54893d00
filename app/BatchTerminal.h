#pragma once
// A batch run from the command line: lines and a summary on stderr, Ctrl+C to stop.

#include "batch/options.h"

namespace cli {

// Shrinks what the options name; returns the exit status (0 when every picture was written or skipped as
// asked, 1 when any failed, 130 when interrupted). A line for each picture that failed or was skipped, a
// progress line when stderr is a terminal, and a summary go to stderr.
int RunBatch(const batch::Options& options);

}  // namespace cli
