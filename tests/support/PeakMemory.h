#pragma once
// The most memory this test process has held so far, in KiB: for checks that a hostile file costs
// little. A peak, so compare it with the peak taken just before, or start a new one.

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace testmem {

inline long PeakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Starts a new peak, so that one case's cost is not hidden by an earlier case's (Linux's clear_refs);
// false where the kernel does not allow it.
inline bool ResetPeakMemory() {
    std::ofstream refs("/proc/self/clear_refs");
    return bool(refs << "5" << std::flush);
}

// The peak since the last ResetPeakMemory, in KiB; the process's peak when there is none to read.
inline long PeakMemorySinceResetKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string word; status >> word;) {
        long kib = 0;
        if (word == "VmHWM:" && status >> kib) return kib;
    }
    return PeakMemoryKiB();
}

}  // namespace testmem
