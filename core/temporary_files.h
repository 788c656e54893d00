#pragma once
// The names this process has given to files it has not finished (temporary files, and a result filled
// under its own name where the disk allows nothing else), so that a process told to end at once (a second
// Ctrl+C, SIGTERM) can remove them from its signal handler before it goes: a fixed table, no allocation
// and no lock, and removal by system calls that a handler may make.

namespace core {

class TemporaryFiles {
public:
    TemporaryFiles() = delete;

    // Lists name in the open folder folderFd before the file is made, and returns its place in the table,
    // or -1 when the table is full (the file then goes unlisted). Until Made or Forget, a removal waits for
    // it: the caller blocks signals in its thread from here on, so that its own handler cannot be the one
    // waiting. The folder stays open until the file is forgotten.
    static int Register(int folderFd, const char* name);

    // The listed name is now the file open as fileFd, which stays open until the file is forgotten.
    static void Made(int slot, int fileFd);

    // Takes the file off the list; waits while a removal of it that has begun ends.
    static void Forget(int slot);

    // Removes every listed file whose name is still the file listed (never one someone else put at the
    // name since), and empties the list. Async-signal-safe.
    static void RemoveAllNow();
};

}  // namespace core
