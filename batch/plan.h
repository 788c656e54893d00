#pragma once
// Which pictures a batch works on and where each result goes, decided before anything is written: the
// folders' pictures, results named <name><suffix> and the format's extension, and the refusals and skips
// known beforehand.

#include "batch/options.h"

#include <QByteArray>
#include <QString>
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
};

// The pictures the paths name, in the order they are worked on: each file named, and in each folder
// named (and its subfolders, with recursive; never a link to a folder) the files of the picture types,
// hidden ones and this program's temporary files left out, and its results of an earlier run skipped. A path or folder that cannot
// be read is a failed job; a file named twice (by two paths) is one job; a second picture whose result
// would be the same file as another's fails.
std::vector<Job> Plan(const Options& options);

}  // namespace batch
