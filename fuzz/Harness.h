#pragma once
// What every harness needs besides its input: Qt started once, and invariants that stop the run.

#include <QSize>

namespace fuzz {

// Qt needs an application object for its image plugins and the executable's name; called once.
void StartQt(int* argc, char*** argv);

// Stops the run with a message when an invariant fails, so that libFuzzer saves the input.
void Require(bool condition, const char* what);

// Whether a harness decodes a picture of this size. The loader admits far larger pictures than a 2 GB
// sanitized run can hold with their copies and the writer's buffers; whether a small file may claim such
// a picture at all is the size bound's business, checked over the tests' hostile corpus.
bool WithinDecodeBudget(QSize size);

}  // namespace fuzz
