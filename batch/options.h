#pragma once
// What a batch is asked to do: the pictures or folders, the size, the format and quality, and where
// results go.

#include "core/formats.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <set>

namespace batch {

// The formats by the names --format takes and the settings keep: each written format by its results'
// extension ("jpg" first, the default), then "same" (none).
struct FormatName {
    QString name;
    std::optional<core::OutputFormat> format;
};
QList<FormatName> FormatNames();
// The index in FormatNames() of the one named so, in any letter case; -1 for none.
int FormatNameIndex(QStringView name);

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
    // The results' format; none: each picture's own where it is PNG or WebP, JPEG for the rest.
    std::optional<core::OutputFormat> format = core::OutputFormat::Jpeg;
    bool lossless = false;  // WebP results without loss
    bool keepMetadata = false;
    bool overwrite = false;
    QStringList paths;
    // Pictures (by their paths as the plan gives them, Job::inputPath) left out of the batch: a window's
    // list, where a user took them out.
    std::set<QByteArray> leftOut;
    // Pictures whose results an earlier run of the same choices wrote: skipped as existing results, even
    // with overwrite, so that a batch stopped and started again does nothing twice.
    std::set<QByteArray> writtenBefore;
};

}  // namespace batch
