#pragma once
// Loads the picture the user picked last, off the window's thread: one load at a time, a newer pick
// supersedes older ones (one not yet started never starts, one running is thrown away), and only the
// newest pick's result reaches the window. The file's head, read there too, tells how long a pick may
// hold the window: one quick to decode is waited for, so that it is on the screen by the time the click
// returns; any other briefly, so that a held arrow key never stalls the window.

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

    // Loads path and decodes its pixels for a preview of previewArea. When no other load is running, waits
    // for it: up to kQuickWaitMs while its head tells a picture quick to decode, else up to kBriefWaitMs.
    // True when the picture (or the empty one, for a file that is none) was delivered before returning.
    bool Load(const QString& path, QSize previewArea);
    // Any load still pending will deliver nothing.
    void Supersede();
    // Decodes picture's pixels for showing it at shown, off the window's thread, after any load queued
    // before; ViewReady follows. Only the newest of several sizes asked for is decoded.
    void PrepareView(const platform::Picture& picture, QSize shown);

    // A picture whose head tells at most this many pixels is quick to decode, a HEIF or AVIF an eighth of it:
    // libheif decodes the whole picture at full size, where a JPEG is decoded at the preview's scale.
    static constexpr qint64 kQuickPixels = 4'000'000;
    static constexpr int kHeifCostFactor = 8;
    static constexpr int kQuickWaitMs = 2000;
    static constexpr int kBriefWaitMs = 45;
    // A costly HEIF or AVIF is decoded only once its pick has stood this long: libheif's decode cannot be
    // stopped, and a held arrow key's picks, about 33 ms apart, would each start a second's work.
    static constexpr int kSettleMs = 60;

signals:
    // The newest pick's picture; the empty picture when the file is no readable picture.
    void Loaded(const QString& path, const platform::Picture& picture);
    void ViewReady();

private:
    struct Shared;
    void deliver(quint64 pick);

    std::shared_ptr<Shared> shared_;
    QThreadPool worker_;
    QThreadPool judge_;  // reads each pick's head
};
