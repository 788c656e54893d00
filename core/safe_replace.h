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

// Replaces (or creates) target with contents. A link as target: the file it names is replaced and the
// link stays. An existing file passes on its owner and group (as far as the user may set them), its
// permission bits without set-user-id and set-group-id, its extended attributes and access control list
// (as far as the user may set them), and its access and modification times; a new file gets the mode any
// new file of this process would. Refused before anything is written (error 75): a folder or anything else
// that is not a regular file, a read-only file, a file the user may not write, a dangling link, a folder
// the user may not write in, a name too long. A full disk is error 61, other write failures 57. Temporary
// files are named ".<name>.tmp-XXXXXX"; one is left behind only when the process dies mid-write.
Result<void> SafeReplace(const QString& target, QByteArrayView contents);

// Whether a file's name is one of SafeReplace's temporary files.
bool IsTemporaryFileName(const QString& name);

namespace testing {
// Called with the temporary file's path once it is written and synced, before it takes the target's
// name; tests swap the file here. Returns the previous hook.
using TemporaryFileHook = std::function<void(const QString& temporaryPath)>;
TemporaryFileHook SetTemporaryFileHook(TemporaryFileHook hook);
}  // namespace testing

}  // namespace core
