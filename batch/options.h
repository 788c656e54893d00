#pragma once
// What a batch is asked to do: the pictures or folders, the box, the quality and where results go.

#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace batch {

struct Options {
    QSize box;
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
