#pragma once
// What a batch is asked to do: the pictures or folders, the size, the quality and where results go.

#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace batch {

struct Options {
    QSize box;                // a side of 0 bounds nothing that way (--box 1920x)
    double scalePercent = 0;  // above 0: each side this percentage of the picture's, in place of the box
    qint64 maxBytes = 0;      // above 0: each result's file at most this big
    int quality = 90;
    QString outputFolder;  // empty: each result beside its original
    QString suffix = QStringLiteral("_kucuk");
    bool recursive = false;
    int jobs = 0;  // 0: one per core; an upper bound, within the memory budget
    std::int64_t memoryBudget = 0;  // bytes the pictures in flight may hold together; 0: DefaultMemoryBudget()
    bool keepMetadata = false;
    bool overwrite = false;
    QStringList paths;
};

}  // namespace batch
