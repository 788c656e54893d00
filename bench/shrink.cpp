// Shrinking speed: a 6000 x 4000 JPEG loaded and shrunk into 400 x 267, as "2-Küçült" does it. Prints the
// best of a few runs of the load and of the shrink, by wall clock.
#include "core/picture.h"
#include "core/shrink.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    QImage photo(6000, 4000, QImage::Format_RGB32);
    QPainter painter(&photo);
    painter.fillRect(photo.rect(), QLinearGradient(0, 0, 6000, 4000));
    for (int i = 0; i < 4000; i += 7) painter.drawLine(0, i, 6000, 4000 - i);
    painter.end();
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    if (!photo.save(path, "JPEG", 90)) return 1;

    const auto seconds = [](auto start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double bestLoad = 1e9, bestDraw = 1e9;
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        const core::Result<core::Picture> picture = core::LoadPicture(path);
        if (!picture) return 1;
        bestLoad = std::min(bestLoad, seconds(start));
        start = std::chrono::steady_clock::now();
        if (!core::ShrinkPicture(*picture, QSize(400, 267))) return 1;
        bestDraw = std::min(bestDraw, seconds(start));
    }
    std::printf("load %.1f ms, shrink into 400 x 267 %.1f ms\n", bestLoad * 1e3, bestDraw * 1e3);
    return 0;
}
