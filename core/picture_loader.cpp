// LoadPicture: reads a picture file through one descriptor, checks it by one small decode, and shares
// the decoded pixels between loads of the same unchanged file.

#include "core/file_name.h"
#include "core/huge_page_image.h"
#include "core/picture.h"
#include "core/picture_decoder.h"
#include "core/picture_source.h"
#include "core/unique_fd.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <map>
#include <new>
#include <mutex>
#include <tuple>

namespace core {

namespace {

// Enough for every header Qt's readers look at to tell a format and size; a file whose picture cannot be
// told from this much is refused without reading more.
constexpr qint64 kHeaderBytes = 64 * 1024;

// What tells one state of one file from another: a file rewritten in place keeping its size and
// modification time (cp -p, rsync -t) still gets a new change time.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{}, changed{};

    explicit FileIdentity(const struct stat& st)
        : device(st.st_dev), inode(st.st_ino), size(st.st_size), modified(st.st_mtim), changed(st.st_ctim) {}
    auto Key() const {
        return std::tuple(device, inode, size, modified.tv_sec, modified.tv_nsec, changed.tv_sec,
                          changed.tv_nsec);
    }
    bool operator<(const FileIdentity& other) const { return Key() < other.Key(); }
};

// Sources of pictures still alive, by the file state they were read from.
struct LiveSources {
    std::mutex mutex;
    std::map<FileIdentity, std::weak_ptr<const PictureSource>> byFile;

    std::shared_ptr<const PictureSource> Find(const FileIdentity& file) {
        std::lock_guard lock(mutex);
        std::erase_if(byFile, [](const auto& item) { return item.second.expired(); });
        const auto it = byFile.find(file);
        return it == byFile.end() ? nullptr : it->second.lock();
    }
    void Remember(const FileIdentity& file, const std::shared_ptr<const PictureSource>& source) {
        std::lock_guard lock(mutex);
        byFile[file] = source;
    }
};

LiveSources& Live() {
    static LiveSources live;
    return live;
}

Error FileError(int error) {
    if (error == ENOENT || error == ENOTDIR) return {Cause::NotFound, QStringLiteral("no such file")};
    if (error == ENAMETOOLONG) return {Cause::NameTooLong, QStringLiteral("path too long")};
    return ErrorOfErrno(error, QStringLiteral("cannot be read"));
}

// Appends up to count bytes from fd, making room for expected of them at once and for the rest as they
// come (a file may grow while it is read); false on a read error.
bool ReadInto(int fd, QByteArray& bytes, qint64 count, qint64 expected) {
    const qint64 end = bytes.size() + count;
    qsizetype have = bytes.size();
    bytes.resize(have + std::min(count, expected));
    auto* const start = reinterpret_cast<std::uint8_t*>(bytes.data());
    PopulatePages(start + have, start + bytes.size());
    while (have < end) {
        if (have == bytes.size()) bytes.resize(std::min<qint64>(end, qint64(have) + (1 << 20)));
        const ssize_t n = ::read(fd, bytes.data() + have, std::size_t(bytes.size() - have));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        have += n;
    }
    bytes.truncate(have);
    return true;
}

// The checking decode at a small scale proves the whole file readable; what callers ask next reuses it.
Result<std::shared_ptr<const PictureSource>> Decoded(QByteArray bytes, LoadCheck check = LoadCheck::WholeFile) {
    Result<std::unique_ptr<PictureDecoder>> decoder = OpenPictureDecoder(std::move(bytes));
    if (!decoder) return decoder.error();
    if (check == LoadCheck::HeaderOnly && *decoder) (*decoder)->DecodeOnce();
    auto source = std::make_shared<const PictureSource>(std::move(*decoder));
    if (check == LoadCheck::HeaderOnly) return source;
    if (const Result<QImage> first = source->pixels(kFirstView, kViewMargin); !first) return first.error();
    return source;
}

// LoadPictureAt, which may throw std::bad_alloc.
Result<Picture> Load(int folderFd, const QByteArray& name, LoadCheck check) {
    if (name.isEmpty()) return Error{Cause::NoFileName, QStringLiteral("no file named")};
    // Not blocking, so that a named pipe or a device cannot hold the caller before fstat refuses it.
    const UniqueFd file(::openat(folderFd, name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.valid()) return FileError(errno);
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return FileError(errno);
    if (S_ISDIR(st.st_mode)) return Error{Cause::IsFolder, QStringLiteral("a folder, not a file")};
    if (!S_ISREG(st.st_mode)) return Error{Cause::NotRegularFile, QStringLiteral("not a regular file")};
    if (st.st_size > kMaxPictureFileBytes)
        return Error{Cause::FileTooLarge,
                     QStringLiteral("file larger than %1 MB").arg(kMaxPictureFileBytes >> 20)};

    const FileIdentity identity(st);
    if (auto shared = Live().Find(identity)) return Picture::FromSource(std::move(shared));

    QByteArray bytes;
    const qint64 head = std::min<qint64>(kHeaderBytes, st.st_size);
    if (!ReadInto(file.get(), bytes, head, head)) return FileError(errno);
    if (const Result<void> checked = CheckPictureHead(bytes, st.st_size); !checked) return checked.error();
    // One byte more than the limit tells a file that grew past it since fstat.
    if (!ReadInto(file.get(), bytes, kMaxPictureFileBytes + 1 - bytes.size(), st.st_size - bytes.size() + 1))
        return FileError(errno);
    if (bytes.size() > kMaxPictureFileBytes)
        return Error{Cause::FileTooLarge,
                     QStringLiteral("file larger than %1 MB").arg(kMaxPictureFileBytes >> 20)};

    Result<std::shared_ptr<const PictureSource>> source = Decoded(std::move(bytes), check);
    if (!source) return source.error();
    if (check == LoadCheck::WholeFile) Live().Remember(identity, *source);
    return Picture::FromSource(std::move(*source));
}

}  // namespace

Result<Picture> LoadPictureAt(int folderFd, const QByteArray& name, LoadCheck check) {
    // A file too large for the memory left (its bytes are read whole) fails alone instead of ending the program.
    try {
        return Load(folderFd, name, check);
    } catch (const std::bad_alloc&) {
        return NoMemory();
    }
}

Result<Picture> LoadPicture(const QString& path, LoadCheck check) {
    return LoadPictureAt(AT_FDCWD, EncodeFileName(path), check);
}

Result<Picture> DecodePicture(QByteArray bytes) {
    Result<std::shared_ptr<const PictureSource>> source = Decoded(std::move(bytes));
    if (!source) return source.error();
    return Picture::FromSource(std::move(*source));
}

void AllowLargeImageReads() {
    // Room for any decode the budget admits; the budget is checked first, so Qt's limit only backs it up.
    QImageReader::setAllocationLimit(int(kDecodeMemoryBudget >> 20));
}

}  // namespace core
