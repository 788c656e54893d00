#pragma once
// What a batch is asked to do: the pictures or folders, the box, the quality and where results go.

#include <QSize>
#include <QString>
#include <QStringList>

namespace batch {

struct Options {
    QSize box;
    int quality = 90;
    QString outputFolder;  // empty: each result beside its original
    QString suffix = QStringLiteral("_kucuk");
    bool recursive = false;
    int jobs = 0;  // 0: one per core
    bool keepMetadata = false;
    bool overwrite = false;
    QStringList paths;
};

}  // namespace batch
