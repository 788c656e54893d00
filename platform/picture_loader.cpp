// LoadPicture: reads a picture file, checks it by one small decode, and shares the decoded pixels
// between loads of the same unchanged file.

#include "platform/picture.h"
#include "platform/picture_source.h"
#include "platform/runtime.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <mutex>
#include <new>

namespace platform {

namespace {

// Sources of pictures still alive, by file; a changed size or time means a changed file.
struct LiveSources {
    struct Entry {
        qint64 size = 0;
        QDateTime modified;
        std::weak_ptr<const PictureSource> source;
    };
    std::mutex mutex;
    std::map<QString, Entry> byPath;

    std::shared_ptr<const PictureSource> Find(const QString& path, qint64 size, const QDateTime& modified) {
        std::lock_guard lock(mutex);
        std::erase_if(byPath, [](const auto& item) { return item.second.source.expired(); });
        const auto it = byPath.find(path);
        if (it == byPath.end() || it->second.size != size || it->second.modified != modified) return nullptr;
        return it->second.source.lock();
    }
    void Remember(const QString& path, qint64 size, const QDateTime& modified,
                  const std::shared_ptr<const PictureSource>& source) {
        std::lock_guard lock(mutex);
        byPath[path] = Entry{size, modified, source};
    }
};

LiveSources& Live() {
    static LiveSources live;
    return live;
}

}  // namespace

Picture LoadPicture(const QString& path) {
    if (path.isEmpty()) return {};
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) Raise(err::FileNotFound);
    const QString canonical = info.canonicalFilePath();
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    if (auto shared = Live().Find(canonical, size, modified)) return Picture::FromSource(shared);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) Raise(err::PathFileAccess);
    QByteArray bytes = file.readAll();
    file.close();
    auto source = std::make_shared<const PictureSource>(OpenPictureDecoder(std::move(bytes)));
    // One decode at a small scale proves the whole file readable; what the windows ask next reuses it.
    source->Decode(kFirstRequest);
    Live().Remember(canonical, size, modified, source);
    return Picture::FromSource(source);
}

Picture LoadPictureOrNone(const QString& path) noexcept {
    try {
        return LoadPicture(path);
    } catch (const RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
    return {};
}

}  // namespace platform
