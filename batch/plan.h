#pragma once
// Which pictures a batch works on and where each result goes, decided before anything is written: the
// folders' pictures, results named <name><suffix> and the format's extension, and the refusals and skips
// known beforehand.

#include "batch/options.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <sys/types.h>
#include <vector>

namespace batch {

struct Job {
    QString input{};   // as the user would name it
    QString output{};  // where the result goes
    enum class Kind { Write, Skip, Fail } kind = Kind::Write;
    core::Error why{};  // for a skip or a failure

    // The same as the system takes them: names are bytes, not always text.
    QByteArray inputPath{};
    // The result is reached from outputRoot, a folder opened without following a link (the real folder of
    // the original, or --output), down through the folders of outputSub ("a/b", made when missing) one
    // level at a time, none of them a link, to outputName.
    QByteArray outputRoot{};
    QByteArray outputSub{};
    QByteArray outputName{};
    // The root's device and inode when planned; 0 and 0 when it did not exist yet.
    dev_t rootDevice = 0;
    ino_t rootInode = 0;
    core::OutputFormat format = core::OutputFormat::Jpeg;  // the result's, which its name's extension says
    bool earlierResult{};  // a skip: the file is this program's result of an earlier run
};

// The pictures the paths name, in the order they are worked on: each file named, and in each folder
// named (and its subfolders, with recursive; never a link to a folder) the files of the picture types,
// hidden ones and this program's temporary files left out. This program's results of an earlier run
// (<name><suffix>.jpg, .png or .webp beside a picture <name>.<type>) are skipped, whether a folder's walk
// found them or they were named one by one. A path or folder that cannot be read is a failed job; a file
// named twice (by two paths) is one job; a second picture whose result would be the same file as
// another's fails. Once abandon is set the plan ends early with what it has, which is then incomplete.
std::vector<Job> Plan(const Options& options, const std::atomic<bool>* abandon = nullptr);

// What a plan holds, as a window counts it.
struct PlanCounts {
    int originals = 0;  // every job but earlier results
    int toWrite = 0, toSkip = 0, toFail = 0;  // of the originals
    int earlierResults = 0;
};
PlanCounts Count(const std::vector<Job>& jobs);

}  // namespace batch
