#pragma once
// File look-up and the few file operations a safe replace needs, on 8-bit (local encoding) names.
// Every call reports failure by its result and leaves errno set; none of them throws.

#include <QByteArray>
#include <cstdint>
#include <ctime>

namespace platform {

struct FileInfo {
    bool exists = false;
    bool isDirectory = false;
    bool isSymLink = false;   // the name itself is a link; the other fields describe what it points to
    std::uint32_t mode = 0;   // permission bits (07777)
    std::uint32_t owner = 0;  // user and group ids
    std::uint32_t group = 0;
    timespec accessed{};      // last access
    timespec modified{};      // last write
    timespec created{};       // birth time where the file system keeps one
    bool hasCreated = false;  // false when the file system does not report a birth time
};

// Looks a file up, following symbolic links. A missing file gives exists == false.
FileInfo LookUpFile(const QByteArray& path);

// True when the calling user may write the file (the access check, not just the mode bits).
bool MayWrite(const QByteArray& path);

// Sets last access and last write times to the nanosecond. Linux offers no way to set a birth time,
// so a replaced file keeps what can be restored: mode, access and modification times.
bool SetFileTimes(const QByteArray& path, const timespec& accessed, const timespec& modified);
bool SetFileMode(const QByteArray& path, std::uint32_t mode);
// Gives the file this owner and group, or failing that (only the superuser may give a file away) this
// group, which works for any group the user belongs to. False when neither could be set.
bool SetFileOwner(const QByteArray& path, std::uint32_t owner, std::uint32_t group);

// The permission bits a newly created file gets from this process (0666 less the umask).
std::uint32_t NewFileMode();

// Creates an empty file ".<name>.tmp-XXXXXX" in the folder of target (mode 0600) and returns its path,
// the name shortened when it leaves no room for the suffix; an empty result when it cannot be created.
QByteArray CreateTempFileBeside(const QByteArray& target);

bool RenameFile(const QByteArray& from, const QByteArray& to);  // atomic within one file system
bool RemoveFile(const QByteArray& path);
// Flushes a file's data, or a folder's entries, to the disk.
bool SyncFile(const QByteArray& path);
bool SyncFolderOf(const QByteArray& path);

}  // namespace platform
