#include "jpeg/mIntelJPEGLibrary.h"

#include "image/cDIBSection.h"
#include "platform/files.h"
#include "platform/ijl.h"
#include "platform/runtime.h"

#include <QFile>
#include <QFileInfo>

namespace mIntelJPEGLibrary {

namespace {

constexpr int kErrIjl = 26001;

[[noreturn]] void RaiseIjl(const QString& description) {
    platform::Raise(kErrIjl, description, platform::ExeName() + QStringLiteral(".mIntelJPEGLibrary"));
}

[[noreturn]] void RaiseAccess(const QString& description) {
    platform::Raise(platform::err::PathFileAccess, description);
}

// ijlFree on every way out once ijlInit has succeeded.
struct IjlSession {
    platform::JPEG_CORE_PROPERTIES props{};
    bool initialised = false;
    ~IjlSession() {
        if (initialised) platform::ijlFree(&props);
    }
};

// Removes the temporary file unless it has been renamed over the target.
struct TempFile {
    QByteArray path;
    bool kept = false;
    ~TempFile() {
        if (!kept && !path.isEmpty()) platform::RemoveFile(path);
    }
};

}  // namespace

bool WriteJpegFile(cDIBSection& image, const QString& fileName, std::int32_t quality) {
    const QString sFileName = fileName;

    IjlSession ijl;
    if (const int c = platform::ijlInit(&ijl.props); c != platform::IJL_OK)
        RaiseIjl(QStringLiteral("Failed to initialise the IJL library: %1").arg(c));
    ijl.initialised = true;

    // The target, or what a link names: the new file takes its place and the link stays.
    QByteArray target = QFile::encodeName(sFileName);
    platform::FileInfo old = platform::LookUpFile(target);
    if (old.isSymLink) {
        const QString real = QFileInfo(sFileName).canonicalFilePath();
        if (real.isEmpty()) RaiseAccess(QStringLiteral("Path/File access error: dangling link ") + sFileName);
        target = QFile::encodeName(real);
        old = platform::LookUpFile(target);
    }
    // A file nobody may write stands for a read-only file: it is refused, as its deletion would be.
    if (old.exists && (old.isDirectory || (old.mode & 0222) == 0 || !platform::MayWrite(target)))
        RaiseAccess({});

    TempFile temp{platform::CreateTempFileBeside(target)};
    if (temp.path.isEmpty()) RaiseAccess({});

    platform::JPEG_CORE_PROPERTIES& p = ijl.props;
    p.DIBBytes = image.DIBSectionBitsPtr();
    p.DIBWidth = image.Width();
    p.DIBHeight = -image.Height();
    p.DIBPadBytes = image.BytesPerScanLine() - 3 * image.Width();
    p.JPGFile = temp.path.constData();
    p.JPGWidth = image.Width();
    p.JPGHeight = image.Height();
    p.jquality = quality;
    if (const int r = platform::ijlWrite(&p, platform::IJL_JFILE_WRITEWHOLEIMAGE); r != platform::IJL_OK)
        RaiseIjl(QStringLiteral("Failed to save to JPG %1").arg(r));

    // Only a complete file on disk may replace the old one.
    if (!platform::SyncFile(temp.path)) RaiseAccess({});
    // The old file's owner, mode and times go onto the new one before it takes the name; a new name gets
    // the mode any new file would. Owner first: changing it clears the set-id bits of the mode. Linux
    // cannot set a birth time, so the old creation time is lost; an owner only the superuser could give
    // is lost too (the new file is the saving user's, as a copy would be).
    if (old.exists) platform::SetFileOwner(temp.path, old.owner, old.group);
    platform::SetFileMode(temp.path, old.exists ? old.mode : platform::NewFileMode());
    if (old.exists) platform::SetFileTimes(temp.path, old.accessed, old.modified);
    if (!platform::RenameFile(temp.path, target)) RaiseAccess({});
    temp.kept = true;
    platform::SyncFolderOf(target);
    return true;
}

}  // namespace mIntelJPEGLibrary
