#include "batch/plan.h"

#include "core/file_name.h"
#include "core/natural_order.h"
#include "core/unique_fd.h"

#include <QStringList>
#include <algorithm>
#include <iterator>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace batch {

namespace {

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const Identity&) const = default;
};

Identity IdentityOf(const struct stat& st) { return {st.st_dev, st.st_ino}; }

std::optional<Identity> IdentityOf(const QByteArray& path, int flags = 0) {
    struct stat st {};
    if (::fstatat(AT_FDCWD, path.constData(), &st, flags) != 0) return std::nullopt;
    return IdentityOf(st);
}

QString Shown(const QByteArray& path) { return core::ShownFileName(core::DecodeFileName(path)); }

core::Error Unreadable(const QByteArray& folder, int error) {
    return {core::Cause::FolderUnreadable,
            QStringLiteral("cannot read the folder: %1").arg(QString::fromLocal8Bit(std::strerror(error))),
            Shown(folder)};
}

QByteArray Join(const QByteArray& folder, const QByteArray& name) {
    if (folder.isEmpty()) return name;
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray NameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// The name without its last dot and what follows it; a name that starts with its only dot is all stem.
QByteArray StemOf(const QByteArray& name) {
    const qsizetype dot = name.lastIndexOf('.');
    return dot <= 0 ? name : name.left(dot);
}

QString SuffixOf(const QByteArray& name) {
    const qsizetype dot = name.lastIndexOf('.');
    return dot <= 0 ? QString() : core::DecodeFileName(name.mid(dot + 1));
}

// The picture types of the window's file list, and .jpeg.
bool IsPictureName(const QByteArray& name) {
    static const QStringList kSuffixes{"jpg", "jpeg", "png", "bmp", "gif", "heic", "heif", "avif", "webp", "tif", "tiff"};
    return kSuffixes.contains(SuffixOf(name), Qt::CaseInsensitive);
}

// A name with an extension this program gives its results.
bool IsResultName(const QByteArray& name) {
    const QString suffix = QLatin1Char('.') + SuffixOf(name);
    return std::any_of(std::begin(kFormatNames), std::end(kFormatNames), [&](const FormatName& f) {
        return f.format && suffix.compare(core::ExtensionOf(*f.format), Qt::CaseInsensitive) == 0;
    });
}

struct Found {
    QByteArray path;      // as the user would name it
    QByteArray relative;  // its folder below the folder named, for the tree under --output
};

Job Failed(const QByteArray& path, core::Error why) {
    return {.input = Shown(path), .kind = Job::Kind::Fail, .why = std::move(why), .inputPath = path};
}


// A folder's pictures (and with recursive its subfolders'), read as bytes: every name, text or not.
// A folder that cannot be read is a failed job of its own, so that nothing below it goes missing unsaid.
// The stems of the pictures in each folder listed, to tell this program's earlier results by.
using Stems = std::map<QByteArray, std::set<QByteArray>>;

bool Abandoned(const std::atomic<bool>* abandon) { return abandon && abandon->load(std::memory_order_relaxed); }

void Walk(const QByteArray& folder, const QByteArray& relative, bool recursive, const std::optional<Identity>& skip,
          std::vector<Found>& found, std::vector<Job>& failed, Stems& stems, const std::atomic<bool>* abandon) {
    core::UniqueFd opened(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = opened.valid() ? ::fdopendir(opened.get()) : nullptr;
    if (!dir) {
        failed.push_back(Failed(folder, Unreadable(folder, errno)));
        return;
    }
    const int fd = opened.release();                             // the listing's own now, closed with it
    std::vector<std::pair<QString, QByteArray>> files, folders;  // the shown name for the order, the bytes
    std::set<QByteArray>& stemsHere = stems[folder];
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (Abandoned(abandon)) break;
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") continue;
        struct stat st {};
        const bool isFolder = ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        if (isFolder) {
            if (recursive && !(skip && IdentityOf(st) == *skip))  // the results of an earlier run
                folders.emplace_back(core::DecodeFileName(name), name);
        } else if (!name.startsWith('.') && IsPictureName(name)) {
            files.emplace_back(core::DecodeFileName(name), name);
            stemsHere.insert(StemOf(name));
        }
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) failed.push_back(Failed(folder, Unreadable(folder, readError)));

    const auto byName = [](const auto& a, const auto& b) { return core::NaturalLess(a.first, b.first); };
    std::sort(files.begin(), files.end(), byName);
    std::sort(folders.begin(), folders.end(), byName);
    for (const auto& [shown, name] : files) found.push_back({Join(folder, name), relative});
    for (const auto& [shown, name] : folders)
        Walk(Join(folder, name), Join(relative, name), recursive, skip, found, failed, stems, abandon);
}

// The stems of a folder's pictures, for a file named on its own: its earlier results are told the same way
// as a walk's. A folder that cannot be read has none.
const std::set<QByteArray>& StemsOf(const QByteArray& folder, Stems& stems) {
    if (const auto known = stems.find(folder); known != stems.end()) return known->second;
    std::set<QByteArray>& found = stems[folder];
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (!name.startsWith('.') && IsPictureName(name)) found.insert(StemOf(name));
        }
        ::closedir(dir);
    }
    return found;
}

// Where a result goes, and what makes it one file: the real folder it starts from plus the rest.
struct Destination {
    QByteArray root, sub, name;
    std::optional<Identity> rootId;
    auto Key() const { return std::tuple(rootId.value_or(Identity{}), rootId ? QByteArray() : root, sub, name); }
};

}  // namespace

std::vector<Job> Plan(const Options& options, const std::atomic<bool>* abandon) {
    // The folder named for results is the user's, links in its path too: its real path is opened later,
    // without following a link, and checked to be this folder still.
    QByteArray outputFolder = core::EncodeFileName(options.outputFolder);
    if (char* real = outputFolder.isEmpty() ? nullptr : ::realpath(outputFolder.constData(), nullptr)) {
        outputFolder = real;
        ::free(real);
    }
    const std::optional<Identity> outputId = outputFolder.isEmpty() ? std::nullopt : IdentityOf(outputFolder);
    const QByteArray suffix = core::EncodeFileName(options.suffix);
    std::vector<Job> jobs;
    std::vector<Found> inputs;
    Stems stems;
    for (const QString& text : options.paths) {
        if (Abandoned(abandon)) return jobs;
        const QByteArray path = core::EncodeFileName(text);
        struct stat st {};
        if (::stat(path.constData(), &st) != 0) {
            const int error = errno;
            jobs.push_back(Failed(
                path, error == ENOENT
                          ? core::Error{core::Cause::NotFound, QStringLiteral("no such file or folder")}
                          : core::ErrorOfErrno(error, QStringLiteral("cannot be read"))));
        } else if (S_ISDIR(st.st_mode)) {
            Walk(path, {}, options.recursive, outputId, inputs, jobs, stems, abandon);
        } else {
            inputs.push_back({path, {}});
        }
    }
    std::erase_if(inputs, [&](const Found& f) { return options.leftOut.count(f.path) > 0; });

    // A <name><suffix>.jpg (.png, .webp) beside a picture <name>.<type> is that picture's result from an
    // earlier run, whatever format that run wrote, whether a walk found it or the user named it: shrunk
    // again it would give <name><suffix><suffix>.
    const auto isEarlierResult = [&](const QByteArray& path) {
        const QByteArray base = StemOf(NameOf(path));
        return !suffix.isEmpty() && IsResultName(NameOf(path)) && base.endsWith(suffix) &&
               StemsOf(FolderOf(path), stems).count(base.chopped(suffix.size())) > 0;
    };
    // Skipped with a line, since a file of the user's own may bear such a name; listed after the pictures.
    std::vector<Job> earlier;
    std::erase_if(inputs, [&](const Found& f) {
        if (!isEarlierResult(f.path)) return false;
        earlier.push_back(
            {.input = Shown(f.path),
             .kind = Job::Kind::Skip,
             .why = {core::Cause::EarlierResult, QStringLiteral("taken for a result of an earlier run")},
             .inputPath = f.path,
             .earlierResult = true});
        return true;
    });

    // One job a file, however many paths name it.
    std::map<Identity, QByteArray> originals;
    std::erase_if(inputs, [&](const Found& f) {
        const auto id = IdentityOf(f.path);
        return id && !originals.emplace(*id, f.path).second;
    });

    std::map<decltype(Destination().Key()), QByteArray> results;  // result -> the input it belongs to
    // The real folder of each original's folder, found once for all its pictures.
    struct RealFolder {
        QByteArray path;  // empty when it cannot be reached, for error
        int error = 0;
        std::optional<Identity> id;
    };
    std::map<QByteArray, RealFolder> realFolders;
    for (const Found& f : inputs) {
        if (Abandoned(abandon)) return jobs;
        const core::OutputFormat format =
            options.format.value_or(core::FormatOfName(core::DecodeFileName(NameOf(f.path))));
        Destination to;
        to.name = StemOf(NameOf(f.path)) + suffix + core::ExtensionOf(format).toLatin1();
        if (outputFolder.isEmpty()) {
            // The real folder of the original, so that two paths to one folder give one destination.
            const QByteArray folder = FolderOf(f.path);
            auto real = realFolders.find(folder);
            if (real == realFolders.end()) {
                char* found = ::realpath(folder.constData(), nullptr);
                RealFolder r{QByteArray(found ? found : ""), found ? 0 : errno, {}};
                ::free(found);
                if (!r.path.isEmpty()) r.id = IdentityOf(r.path);
                real = realFolders.emplace(folder, std::move(r)).first;
            }
            if (real->second.path.isEmpty()) {
                jobs.push_back(Failed(
                    f.path, core::ErrorOfErrno(real->second.error, QStringLiteral("cannot reach the folder"))));
                continue;
            }
            to.root = real->second.path;
            to.rootId = real->second.id;
        } else {
            to.root = outputFolder;
            to.sub = f.relative;
            to.rootId = outputId;
        }
        const QByteArray output = Join(Join(to.root, to.sub), to.name);
        Job job{.input = Shown(f.path),
                .output = Shown(output),
                .inputPath = f.path,
                .outputRoot = to.root,
                .outputSub = to.sub,
                .outputName = to.name,
                .format = format};
        if (to.rootId) std::tie(job.rootDevice, job.rootInode) = std::tie(to.rootId->device, to.rootId->inode);

        struct stat there {};
        const bool exists = ::lstat(output.constData(), &there) == 0;
        const auto original = exists ? originals.find(IdentityOf(there)) : originals.end();
        if (original != originals.end()) {
            job.kind = Job::Kind::Fail;
            const QString shown = Shown(original->second);
            job.why = {core::Cause::WouldOverwriteOriginal,
                       QStringLiteral("would overwrite the original '%1'").arg(shown), shown};
        } else if (const auto other = results.find(to.Key()); other != results.end()) {
            job.kind = Job::Kind::Fail;
            const QString shown = Shown(other->second);
            job.why = {core::Cause::SameResultAsAnother, QStringLiteral("the same result as '%1'").arg(shown),
                       shown};
        } else if (exists && S_ISLNK(there.st_mode)) {
            job.kind = Job::Kind::Fail;
            const QString shown = Shown(to.name);
            job.why = {core::Cause::SymbolicLink,
                       QStringLiteral("the result '%1' is a symbolic link").arg(shown), shown};
        } else if (exists && !options.overwrite) {
            // Known now, so the picture is not even read; the write checks again.
            job.kind = Job::Kind::Skip;
            job.why = {core::Cause::ResultExists, QStringLiteral("exists (use --overwrite)")};
        } else if (options.writtenBefore.count(f.path)) {
            job.kind = Job::Kind::Skip;
            job.why = {core::Cause::WrittenByRunBefore, QStringLiteral("written by the run before")};
        }
        results.emplace(to.Key(), f.path);
        jobs.push_back(job);
    }
    std::move(earlier.begin(), earlier.end(), std::back_inserter(jobs));
    return jobs;
}

PlanCounts Count(const std::vector<Job>& jobs) {
    PlanCounts counts;
    for (const Job& job : jobs) {
        if (job.earlierResult) {
            ++counts.earlierResults;
            continue;
        }
        ++counts.originals;
        switch (job.kind) {
            case Job::Kind::Write: ++counts.toWrite; break;
            case Job::Kind::Skip: ++counts.toSkip; break;
            case Job::Kind::Fail: ++counts.toFail; break;
        }
    }
    return counts;
}

}  // namespace batch
