#pragma once
// The windows are a program of their own, so that the command line starts without loading Qt Widgets,
// Qt Network and the rest of what only the windows need.

namespace cli {

// Replaces this process with the window program, handing it argv untouched. Returns only when that
// program is missing or cannot be started, after saying so on stderr, with the exit status 1.
int StartWindowProgram(char** argv);

}  // namespace cli
