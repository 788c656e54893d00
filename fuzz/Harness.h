#pragma once
// What every harness needs besides its input: Qt started once, and invariants that stop the run.

namespace fuzz {

// Qt needs an application object for its image plugins and the executable's name; called once.
void StartQt(int* argc, char*** argv);

// Stops the run with a message when an invariant fails, so that libFuzzer saves the input.
void Require(bool condition, const char* what);

}  // namespace fuzz
