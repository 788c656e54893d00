#pragma once
// Loads the picture the user picked last, off the window's thread: one load at a time, a newer pick
// supersedes older ones (one not yet started never starts, one running is thrown away), and only the
// newest pick's result reaches the window. A pick made while nothing else loads is waited for briefly,
// so that a quick picture is on the screen by the time the click returns.

#include "platform/picture.h"

#include <QObject>
#include <QSize>
#include <QThreadPool>
#include <memory>

class LatestPictureLoader : public QObject {
    Q_OBJECT
public:
    explicit LatestPictureLoader(QObject* parent = nullptr);
    ~LatestPictureLoader() override;  // waits for a load still running

    // Loads path and decodes its pixels for a preview of previewArea. When no other load is running,
    // waits up to waitMs: a load done by then is delivered before this returns.
    void Load(const QString& path, QSize previewArea, int waitMs);
    // Any load still pending will deliver nothing.
    void Supersede();

signals:
    // The newest pick's picture; the empty picture when the file is no readable picture.
    void Loaded(const QString& path, const platform::Picture& picture);

private:
    struct Shared;
    void deliver(quint64 pick);

    std::shared_ptr<Shared> shared_;
    QThreadPool worker_;
};
