#pragma once
// Writing a file so that no failure ever costs the user the file that was there: the new contents go to
// a file of their own in the target's folder, reach the disk, take on what the old file carried, and only
// then take its name in one rename. Every step after that file is made works on open descriptors, so
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
// left as it is, also one that appears while the contents are written. A replaced file passes on
// its owner and group (as far as the user may set them), its permission bits without set-user-id and
// set-group-id, its extended attributes and access control list (as far as the user may set them), and
// with keepTimes its times; a new file gets the mode any new file of this process would. Refused before
// anything is written: a folder or anything else that is not a regular file, a read-only file,
// a file the user may not write, a folder the user may not write in, a name too long. A full disk is
// Cause::DiskFull, other write failures their system error's cause.
// The contents are written into a file without a name where the file system has them, so that a killed
// process leaves nothing behind; elsewhere into ".<name>.torv-tmp-XXXXXXXX", locked while written. Where
// the file system can neither rename without replacing nor link (FAT, phones, some shares), a new file is
// made exclusively under its name and filled; where even that fails, Cause::NoExclusiveCreate. Every
// name made for an unfinished file is listed in TemporaryFiles while it is, for a process told to end at
// once.
Result<void> SafeReplaceAt(int folderFd, const QByteArray& name, QByteArrayView contents, ReplaceOptions options);

// Replaces (or creates) target as SafeReplaceAt does, keeping the old times. A link as target: the file
// it names is replaced and the link stays; the folder of that file is opened without following links,
// and the temporary file and the rename never follow one. A dangling link is refused.
Result<void> SafeReplace(const QString& target, QByteArrayView contents);

// Whether a file's name is one of SafeReplace's named temporary files: no other program's name looks so.
bool IsTemporaryFileName(const QString& name);

// How old a temporary file must be before a sweep takes it for one left by a process that died.
inline constexpr int kStaleTemporarySeconds = 3600;

// Removes from the open folder the temporary files that a process of this user which died mid-write left:
// regular files of this user with a temporary file's name, unchanged for minimumAgeSeconds, that no
// process holds locked (flock or a record lock). Nothing else is ever removed.
void RemoveStaleTemporaryFiles(int folderFd, int minimumAgeSeconds = kStaleTemporarySeconds);

namespace testing {
// When the hook is called: a named temporary file just made and not yet locked, or written and synced
// and about to take the target's name.
enum class Moment { Created, Written };
// Called with the named temporary file's path; tests swap the file or sweep the folder there. Returns
// the previous hook.
using TemporaryFileHook = std::function<void(Moment moment, const QString& temporaryPath)>;
TemporaryFileHook SetTemporaryFileHook(TemporaryFileHook hook);

// What the file system is pretended to refuse, so that every way of writing runs on any disk.
struct FileSystemGaps {
    bool unnamedFiles = false;     // O_TMPFILE: EOPNOTSUPP
    bool exclusiveLinks = false;   // rename without replacing: EINVAL; hard links: EPERM
    bool exclusiveCreate = false;  // creating the target's own name exclusively: EPERM
};
// Returns the previous gaps.
FileSystemGaps PretendFileSystemGaps(FileSystemGaps gaps);
}  // namespace testing

}  // namespace core
