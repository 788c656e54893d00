#pragma once
// The most memory this test process has held so far, in KiB: for checks that a hostile file costs
// little. A peak, so compare it with the peak taken just before.

#include <sys/resource.h>

namespace testmem {

inline long PeakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace testmem
