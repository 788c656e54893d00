#include "core/huge_page_image.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace core {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

// Whole huge pages of their own mapping, aligned so that the kernel may back them so: never the heap's, which
// KeepFreedPictureMemory keeps for reuse, where they would come as ordinary pages.
std::uint8_t* MapHugePages(std::size_t rounded) {
    void* mapped =
        ::mmap(nullptr, rounded + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto start = std::uintptr_t(mapped), aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) ::munmap(mapped, aligned - start);
    if (const std::size_t tail = start + rounded + kHugePage - (aligned + rounded))
        ::munmap(reinterpret_cast<void*>(aligned + rounded), tail);
    ::madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);  // only advice
    return reinterpret_cast<std::uint8_t*>(aligned);
}

std::size_t Rounded(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

QImage HugePageImage(QSize size, QImage::Format format) {
    if (size.isEmpty()) return {};
    const std::int64_t stride =
        (std::int64_t(size.width()) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    const std::int64_t bytes = stride * size.height();
    // Below two huge pages the rounding up would waste as much as it saves.
    if (bytes < std::int64_t(2 * kHugePage) || stride > INT32_MAX) return QImage(size, format);
    HugePageBytes memory = HugePageBuffer(std::size_t(bytes));
    if (!memory) return {};
    auto* owner = new HugePageBytes(std::move(memory));
    return QImage(
        owner->get(), size.width(), size.height(), qsizetype(stride), format,
        [](void* owned) { delete static_cast<HugePageBytes*>(owned); }, owner);
}

HugePageBytes HugePageBuffer(std::size_t bytes) {
    if (bytes < 2 * kHugePage)
        return HugePageBytes(static_cast<std::uint8_t*>(std::malloc(std::max<std::size_t>(bytes, 1))));
    const std::size_t rounded = Rounded(bytes);
    return HugePageBytes(MapHugePages(rounded), FreeBytes{rounded});
}

void FreeBytes::operator()(std::uint8_t* bytes) const {
    if (mapped > 0)
        ::munmap(bytes, mapped);
    else
        std::free(bytes);
}

void KeepFreedPictureMemory() {
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
}

const std::uint8_t* ReleasePages(const std::uint8_t* start, const std::uint8_t* end) {
    // Whole huge pages: splitting one costs more than it gives back.
    constexpr auto page = std::uintptr_t(kHugePage);
    const auto from = (std::uintptr_t(start) + page - 1) / page * page;
    const auto to = std::uintptr_t(end) / page * page;
    if (to <= from) return start;
    ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
    return start + (to - std::uintptr_t(start));
}

void PopulatePages(std::uint8_t* start, std::uint8_t* end) {
    const auto page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    const auto from = std::uintptr_t(start) / page * page;
    const auto to = (std::uintptr_t(end) + page - 1) / page * page;
    // Only advice: an older kernel refuses it, and the pages then fault in one by one.
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
}

}  // namespace core
