#pragma once
// Pictures of many megabytes in memory the kernel may back with huge pages: touching a 24 MB result then
// costs a dozen page faults instead of six thousand, which on a virtual machine is a tenth of a shrink.

#include <QImage>
#include <QSize>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace core {

// An uninitialised image of size and format, huge-page backed when it is large; null when memory runs out.
QImage HugePageImage(QSize size, QImage::Format format);

// Gives back what HugePageBuffer gave: a mapping of its own when large, the heap's otherwise.
struct FreeBytes {
    std::size_t mapped = 0;  // the mapping's length; 0 for the heap's
    void operator()(std::uint8_t* bytes) const;
};
using HugePageBytes = std::unique_ptr<std::uint8_t[], FreeBytes>;
// Uninitialised bytes, huge-page backed when there are many; null when memory runs out.
HugePageBytes HugePageBuffer(std::size_t bytes);

// For a program that decodes picture after picture while a user waits (the windows): blocks up to 32 MB
// come from the heap and stay there when freed, up to 128 MB of them, and freed huge-page buffers are kept
// too, up to 64 MB, so that the next picture's buffers are pages already backed rather than fresh ones,
// each a fault (on a virtual machine, in its host too). Later previews then take about half the time, for
// some 14 MB more at the peak. Call before anything large is allocated.
void KeepFreedPictureMemory();

// After KeepFreedPictureMemory (else nothing), on the thread that will load pictures, since each thread
// has a heap of its own: backs the memory the first preview of a large photo takes there (its file's bytes
// and two huge-page buffers, 32 MB in all), so that the first picture picked is shown about as quickly as
// later ones.
void WarmPictureMemory();

// After KeepFreedPictureMemory (else nothing), when a batch of many pictures has ended in that program:
// the heap's free memory goes back to the system, and the kept huge-page buffers down to what
// WarmPictureMemory backs, so that a batch's memory is given back while the next preview starts warm.
void GiveBackBatchMemory();

// Gives the whole huge pages within [start, end) back to the system; they read as zeros afterwards. For
// memory its owner has finished reading, so that a large picture shrinks away while it is consumed. Returns
// where the pages given back end (start when there were none), for the next call to go on from.
const std::uint8_t* ReleasePages(const std::uint8_t* start, const std::uint8_t* end);

// Backs the pages within [start, end) with memory in one call, before they are written: a buffer about to
// be filled then costs one call instead of a fault for each page (a few per cent of a batch on a virtual
// machine, where faults are dear).
void PopulatePages(std::uint8_t* start, std::uint8_t* end);

}  // namespace core
