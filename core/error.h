#pragma once
// Why something failed: a cause that a front end puts in its own words, and an English detail for the
// command line. Front ends choose their words from the cause alone; the detail may be reworded freely.

#include <QString>
#include <iterator>
#include <utility>

namespace core {

enum class Cause {
    // Files and folders
    NotFound,            // no such file or folder
    NoSuchFolder,        // the folder a file is to go in is not there
    IsFolder,            // a folder where a file is wanted
    NotRegularFile,      // a device, pipe or socket where a file is wanted
    NoPermission,        // the user may not read or write it
    ReadOnly,            // a read-only file
    ReadOnlyFileSystem,  // a file system mounted read-only (a locked card, a disc)
    NameTooLong,         // a name or a path too long for the system
    NoFileName,          // nothing named
    SymbolicLink,        // a link where links are not followed (subject: the link)
    DanglingLink,        // a link to nothing
    FolderUnreadable,    // a folder whose list of files cannot be read (subject: the folder)
    ReplacedMeanwhile,   // the file, its temporary file or its folder changed by someone else meanwhile
    ResultExists,        // a result is there already and is not to be replaced
    NoExclusiveCreate,   // a file system that cannot add a file without risking one there (overwrite works)
    DiskFull,            // no room left, or over a quota or a file size limit
    IoError,             // the system could not read or write, for a reason not told apart here
    FileTooLarge,        // a file larger than any picture the program reads
    // Pictures
    Damaged,            // not a picture of a format the program reads, or a damaged one
    UnsupportedFormat,  // a kind of picture the program does not read (an animated WebP, ...)
    TooCostly,          // small, but far more costly to decode than its size: refused beforehand
    TooLarge,           // more pixels than the program takes, or more memory than one picture may use
    OutOfMemory,        // the system had no memory to give
    LibraryMissing,     // the library a format needs cannot be loaded
    // Sizes and results
    InvalidSize,         // no box, a percentage out of range, nothing to draw, or an enlargement
    TooLargeForFormat,   // larger than the result's format can hold
    DoesNotFit,          // no result within the file size asked for
    EncoderFailed,       // the encoder refused the picture
    MetadataUnreadable,  // an Exif block that cannot be read or carried
    Overflow,            // arithmetic out of range
    DivisionByZero,
    Internal,  // a fault of the program's own, caught rather than ending it
    // Found while planning many pictures
    WouldOverwriteOriginal,  // the result's name is an original's (subject: the original)
    SameResultAsAnother,     // two pictures would give one result (subject: the other picture)
    EarlierResult,           // the file is a result of an earlier run, not an original
    WrittenByRunBefore,      // its result was written by the run before, of the same choices
};

// Every cause once, for tables that must cover them all.
inline constexpr Cause kAllCauses[] = {
    Cause::NotFound,
    Cause::NoSuchFolder,
    Cause::IsFolder,
    Cause::NotRegularFile,
    Cause::NoPermission,
    Cause::ReadOnly,
    Cause::ReadOnlyFileSystem,
    Cause::NameTooLong,
    Cause::NoFileName,
    Cause::SymbolicLink,
    Cause::DanglingLink,
    Cause::FolderUnreadable,
    Cause::ReplacedMeanwhile,
    Cause::ResultExists,
    Cause::NoExclusiveCreate,
    Cause::DiskFull,
    Cause::IoError,
    Cause::FileTooLarge,
    Cause::Damaged,
    Cause::UnsupportedFormat,
    Cause::TooCostly,
    Cause::TooLarge,
    Cause::OutOfMemory,
    Cause::LibraryMissing,
    Cause::InvalidSize,
    Cause::TooLargeForFormat,
    Cause::DoesNotFit,
    Cause::EncoderFailed,
    Cause::MetadataUnreadable,
    Cause::Overflow,
    Cause::DivisionByZero,
    Cause::Internal,
    Cause::WouldOverwriteOriginal,
    Cause::SameResultAsAnother,
    Cause::EarlierResult,
    Cause::WrittenByRunBefore,
};
static_assert(std::size(kAllCauses) == std::size_t(Cause::WrittenByRunBefore) + 1,
              "a cause is missing from the list");

struct Error {
    Error() = default;
    Error(Cause c, QString d, QString s = {}) : cause(c), detail(std::move(d)), subject(std::move(s)) {}

    Cause cause = Cause::IoError;
    QString detail;   // in English, for the command line: "no such folder", "disk full", ...
    QString subject;  // the shown name of the file or folder the cause is about, when that is not the
                      // picture at hand; often empty
};

// The cause of a failed system call by its error number (errno).
Cause CauseOfErrno(int error);

// The same with the system's own text as the detail, before which context goes ("cannot read the folder").
Error ErrorOfErrno(int error, const QString& context = {});

// A short stable name of the cause ("not-found", "disk-full"), for tests and logs.
const char* CauseName(Cause cause);

}  // namespace core
