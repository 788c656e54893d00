#include "batch/plan.h"

#include "core/natural_order.h"
#include "core/safe_replace.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <map>
#include <sys/stat.h>

namespace batch {

namespace {

// The picture types of the window's file list, and .jpeg.
bool IsPictureName(const QString& name) {
    static const QStringList kSuffixes{"jpg", "jpeg", "png", "bmp", "gif"};
    return kSuffixes.contains(QFileInfo(name).suffix(), Qt::CaseInsensitive);
}

struct Found {
    QString path;     // as the user would name it
    QString relative; // its folder below the folder named, for the tree under --output
};

void Walk(const QString& folder, const QString& relative, bool recursive, const QString& skipFolder,
          std::vector<Found>& found) {
    const core::NaturalOrder order;
    const QDir dir(folder);
    QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    std::sort(files.begin(), files.end(), [&](const QFileInfo& a, const QFileInfo& b) {
        return order.compare(a.fileName(), b.fileName()) < 0;
    });
    for (const QFileInfo& file : files)
        if (IsPictureName(file.fileName()) && !core::IsTemporaryFileName(file.fileName()))
            found.push_back({dir.filePath(file.fileName()), relative});
    if (!recursive) return;
    QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    std::sort(folders.begin(), folders.end(), [&](const QFileInfo& a, const QFileInfo& b) {
        return order.compare(a.fileName(), b.fileName()) < 0;
    });
    for (const QFileInfo& sub : folders) {
        if (sub.canonicalFilePath() == skipFolder) continue;  // the results of an earlier run
        Walk(dir.filePath(sub.fileName()), relative.isEmpty() ? sub.fileName() : relative + '/' + sub.fileName(),
             recursive, skipFolder, found);
    }
}

struct Identity {
    dev_t device;
    ino_t inode;
    bool operator<(const Identity& o) const { return std::tie(device, inode) < std::tie(o.device, o.inode); }
};

std::optional<Identity> IdentityOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
}

}  // namespace

std::vector<Job> Plan(const Options& options) {
    const QString outputFolder = options.outputFolder.isEmpty() ? QString() : QDir::cleanPath(options.outputFolder);
    const QString skipFolder = outputFolder.isEmpty() ? QString() : QFileInfo(outputFolder).canonicalFilePath();
    std::vector<Job> jobs;
    std::vector<Found> inputs;
    QSet<QString> named;  // files the user named themselves: never taken for earlier results
    for (const QString& path : options.paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            std::vector<Found> found;
            Walk(path, QString(), options.recursive, skipFolder, found);
            inputs.insert(inputs.end(), found.begin(), found.end());
        } else if (info.exists()) {
            inputs.push_back({path, QString()});
            named.insert(path);
        } else {
            jobs.push_back({path, {}, Job::Kind::Fail, QStringLiteral("no such file or folder")});
        }
    }

    // A folder's <name><suffix>.jpg beside a <name>.<type> is that picture's result from an earlier run.
    QSet<QString> stems;
    for (const Found& f : inputs) stems.insert(QFileInfo(f.path).path() + '/' + QFileInfo(f.path).completeBaseName());
    const auto isEarlierResult = [&](const QString& path) {
        const QFileInfo info(path);
        const QString base = info.completeBaseName();
        return !options.suffix.isEmpty() && !named.contains(path) && info.suffix().compare("jpg", Qt::CaseInsensitive) == 0 &&
               base.endsWith(options.suffix) && stems.contains(info.path() + '/' + base.chopped(options.suffix.size()));
    };

    std::erase_if(inputs, [&](const Found& f) { return isEarlierResult(f.path); });
    std::map<Identity, QString> originals;
    for (const Found& f : inputs)
        if (const auto id = IdentityOf(f.path)) originals.emplace(*id, f.path);
    std::map<QString, QString> results;  // result path -> the input it belongs to
    for (const Found& f : inputs) {
        const QFileInfo info(f.path);
        QString folder = outputFolder.isEmpty() ? info.path() : outputFolder;
        if (!outputFolder.isEmpty() && !f.relative.isEmpty()) folder += '/' + f.relative;
        Job job{f.path, folder + '/' + info.completeBaseName() + options.suffix + QStringLiteral(".jpg"), Job::Kind::Write, {}};
        const QString key = QFileInfo(job.output).absoluteFilePath();
        const auto id = IdentityOf(job.output);
        if (id && originals.count(*id)) {
            job.kind = Job::Kind::Fail;
            job.note = QStringLiteral("would overwrite the original '%1'").arg(originals.at(*id));
        } else if (results.count(key)) {
            job.kind = Job::Kind::Fail;
            job.note = QStringLiteral("the same result as '%1'").arg(results.at(key));
        } else if (QFileInfo(job.output).exists() || QFileInfo(job.output).isSymLink()) {
            if (!options.overwrite) {
                job.kind = Job::Kind::Skip;
                job.note = QStringLiteral("exists (use --overwrite)");
            }
        }
        results.emplace(key, f.path);
        jobs.push_back(job);
    }
    return jobs;
}

}  // namespace batch
