#pragma once
// Which pictures a batch works on and where each result goes, decided before anything is written: the
// folders' pictures, results named <name><suffix>.jpg, and the refusals and skips known beforehand.

#include "batch/options.h"

#include <QString>
#include <vector>

namespace batch {

struct Job {
    QString input;   // as the user would name it
    QString output;  // where the result goes
    enum class Kind { Write, Skip, Fail } kind = Kind::Write;
    QString note;    // for a skip or a failure: why
};

// The pictures the paths name, in the order they are worked on: each file named, and in each folder
// named (and its subfolders, with recursive) the files of the picture types, hidden ones and this
// program's own results and temporary files left out.
std::vector<Job> Plan(const Options& options);

}  // namespace batch
