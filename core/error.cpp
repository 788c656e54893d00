#include "core/error.h"

#include <cerrno>
#include <cstring>

namespace core {

Cause CauseOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return Cause::NotFound;
        case EACCES:
        case EPERM:
            return Cause::NoPermission;
        case EROFS:
            return Cause::ReadOnlyFileSystem;
        case ENAMETOOLONG:
            return Cause::NameTooLong;
        case ELOOP:
            return Cause::SymbolicLink;
        case EISDIR:
            return Cause::IsFolder;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return Cause::DiskFull;
        case ENOMEM:
            return Cause::OutOfMemory;
        default:
            return Cause::IoError;
    }
}

Error ErrorOfErrno(int error, const QString& context) {
    const QString system = QString::fromLocal8Bit(std::strerror(error));
    return {CauseOfErrno(error), context.isEmpty() ? system : context + QStringLiteral(": ") + system};
}

const char* CauseName(Cause cause) {
    switch (cause) {
        case Cause::NotFound:
            return "not-found";
        case Cause::NoSuchFolder:
            return "no-such-folder";
        case Cause::IsFolder:
            return "is-folder";
        case Cause::NotRegularFile:
            return "not-regular-file";
        case Cause::NoPermission:
            return "no-permission";
        case Cause::ReadOnly:
            return "read-only";
        case Cause::ReadOnlyFileSystem:
            return "read-only-file-system";
        case Cause::NameTooLong:
            return "name-too-long";
        case Cause::NoFileName:
            return "no-file-name";
        case Cause::SymbolicLink:
            return "symbolic-link";
        case Cause::DanglingLink:
            return "dangling-link";
        case Cause::FolderUnreadable:
            return "folder-unreadable";
        case Cause::ReplacedMeanwhile:
            return "replaced-meanwhile";
        case Cause::ResultExists:
            return "result-exists";
        case Cause::NoExclusiveCreate:
            return "no-exclusive-create";
        case Cause::DiskFull:
            return "disk-full";
        case Cause::IoError:
            return "io-error";
        case Cause::FileTooLarge:
            return "file-too-large";
        case Cause::Damaged:
            return "damaged";
        case Cause::UnsupportedFormat:
            return "unsupported-format";
        case Cause::TooCostly:
            return "too-costly";
        case Cause::TooLarge:
            return "too-large";
        case Cause::OutOfMemory:
            return "out-of-memory";
        case Cause::LibraryMissing:
            return "library-missing";
        case Cause::InvalidSize:
            return "invalid-size";
        case Cause::TooLargeForFormat:
            return "too-large-for-format";
        case Cause::DoesNotFit:
            return "does-not-fit";
        case Cause::EncoderFailed:
            return "encoder-failed";
        case Cause::MetadataUnreadable:
            return "metadata-unreadable";
        case Cause::Overflow:
            return "overflow";
        case Cause::DivisionByZero:
            return "division-by-zero";
        case Cause::Internal:
            return "internal";
        case Cause::WouldOverwriteOriginal:
            return "would-overwrite-original";
        case Cause::SameResultAsAnother:
            return "same-result-as-another";
        case Cause::EarlierResult:
            return "earlier-result";
        case Cause::WrittenByRunBefore:
            return "written-by-run-before";
    }
    return "unknown";
}

}  // namespace core
