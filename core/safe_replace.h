#pragma once
// Writing a file so that no failure ever costs the user the file that was there: the new contents go to
// a temporary file beside the target, reach the disk, take on what the old file carried, and only then
// take its name in one rename. Every step after the temporary file is made works on open descriptors, so
// nobody who may write in the folder can swap a name in between and have the save act on their file.

#include "core/result.h"

#include <QByteArrayView>
#include <QString>
#include <functional>

namespace core {

// How a write in an open folder treats what is at the name already.
struct ReplaceOptions {
    bool overwrite =
        true;  // false: an existing file is left alone (result exists, "exists (use --overwrite)")
    bool keepTimes = true;  // the replaced file's access and modification times go to the new file
};

// Writes contents as name in the open folder. The name is looked at when the write happens and never
// followed: a link there is refused ("is a symbolic link"), and without overwrite an existing file is
// left as it is, also one that appears while the temporary file is written. A replaced file passes on
// its owner and group (as far as the user may set them), its permission bits without set-user-id and
// set-group-id, its extended attributes and access control list (as far as the user may set them), and
// with keepTimes its times; a new file gets the mode any new file of this process would. Refused before
// anything is written: a folder or anything else that is not a regular file, a read-only file,
// a file the user may not write, a folder the user may not write in, a name too long. A full disk is
// Cause::DiskFull, other write failures their system error's cause. Temporary files are named
// ".<name>.tmp-XXXXXX" and locked while written; one is left behind only when the process dies mid-write.
Result<void> SafeReplaceAt(int folderFd, const QByteArray& name, QByteArrayView contents, ReplaceOptions options);

// Replaces (or creates) target as SafeReplaceAt does, keeping the old times. A link as target: the file
// it names is replaced and the link stays; the folder of that file is opened without following links,
// and the temporary file and the rename never follow one. A dangling link is refused.
Result<void> SafeReplace(const QString& target, QByteArrayView contents);

// Whether a file's name is one of SafeReplace's temporary files.
bool IsTemporaryFileName(const QString& name);

// Removes from the open folder the temporary files that a process of this user which died mid-write left:
// those no process holds locked any more.
void RemoveStaleTemporaryFiles(int folderFd);

namespace testing {
// Called with the temporary file's path once it is written and synced, before it takes the target's
// name; tests swap the file here. Returns the previous hook.
using TemporaryFileHook = std::function<void(const QString& temporaryPath)>;
TemporaryFileHook SetTemporaryFileHook(TemporaryFileHook hook);
}  // namespace testing

}  // namespace core
