#include "core/huge_page_image.h"

#include "core/unique_fd.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <latch>
#include <thread>
#include <mutex>
#include <utility>
#include <vector>

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

// Mappings given back while freed picture memory is kept, for the next buffer they can hold.
class KeptMappings {
public:
    std::atomic<bool> on{false};

    // The smallest kept mapping of at least rounded bytes, or null; its length in mapped.
    std::uint8_t* Take(std::size_t rounded, std::size_t& mapped) {
        const std::lock_guard hold(lock_);
        auto best = kept_.end();
        for (auto it = kept_.begin(); it != kept_.end(); ++it)
            if (it->second >= rounded && (best == kept_.end() || it->second < best->second)) best = it;
        if (best == kept_.end()) return nullptr;
        std::uint8_t* bytes = best->first;
        mapped = best->second;
        total_ -= mapped;
        kept_.erase(best);
        return bytes;
    }
    // Unmaps kept mappings, the largest first, until at most most bytes are kept.
    void KeepAtMost(std::size_t most) {
        const std::lock_guard hold(lock_);
        std::sort(kept_.begin(), kept_.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
        while (total_ > most) {
            ::munmap(kept_.back().first, kept_.back().second);
            total_ -= kept_.back().second;
            kept_.pop_back();
        }
    }
    // False when keeping it would pass the bound: the caller unmaps it.
    bool Keep(std::uint8_t* bytes, std::size_t mapped) {
        const std::lock_guard hold(lock_);
        if (total_ + mapped > kKeptBytes) return false;
        kept_.emplace_back(bytes, mapped);
        total_ += mapped;
        return true;
    }

private:
    static constexpr std::size_t kKeptBytes = std::size_t(64) << 20;
    std::mutex lock_;
    std::vector<std::pair<std::uint8_t*, std::size_t>> kept_;
    std::size_t total_ = 0;
};

// Never destroyed: a picture a static object holds may be freed after the statics' destructors have run.
KeptMappings& Kept() {
    static auto* const kept = new KeptMappings;
    return *kept;
}

// Writes bytes twice, once from the program and once by the kernel (a read from /dev/zero), as a file's
// bytes later are: a virtual machine may map a page separately for each.
void Touch(std::uint8_t* bytes, std::size_t size) {
    std::memset(bytes, 0, size);
    asm volatile("" : : "r"(bytes) : "memory");  // else the compiler may drop the writes, and the buffer
    const UniqueFd zero(::open("/dev/zero", O_RDONLY | O_CLOEXEC));
    if (!zero.valid()) return;
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::read(zero.get(), bytes + done, size - done);
        if (n <= 0) break;
        done += std::size_t(n);
    }
}

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
    if (Kept().on) {
        std::size_t mapped = 0;
        if (std::uint8_t* reused = Kept().Take(rounded, mapped))
            return HugePageBytes(reused, FreeBytes{mapped});
    }
    return HugePageBytes(MapHugePages(rounded), FreeBytes{rounded});
}

void FreeBytes::operator()(std::uint8_t* bytes) const {
    if (mapped == 0)
        std::free(bytes);
    else if (!Kept().on || !Kept().Keep(bytes, mapped))
        ::munmap(bytes, mapped);
}

void KeepFreedPictureMemory() {
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
    Kept().on = true;
}

namespace {
constexpr std::size_t kWarmFileBytes = std::size_t(16) << 20, kWarmMapped = std::size_t(8) << 20;
}  // namespace

void WarmPictureMemory() {
    if (!Kept().on) return;
    constexpr std::size_t kFileBytes = kWarmFileBytes, kMapped = kWarmMapped;
    if (auto* bytes = static_cast<std::uint8_t*>(std::malloc(kFileBytes))) {
        Touch(bytes, kFileBytes);
        std::free(bytes);
    }
    HugePageBytes first = HugePageBuffer(kMapped), second = HugePageBuffer(kMapped);
    for (HugePageBytes* buffer : {&first, &second})
        if (*buffer) Touch(buffer->get(), kMapped);
}

void GiveBackBatchMemory() {
    if (!Kept().on) return;
    Kept().KeepAtMost(2 * kWarmMapped);
    // A thread's heap keeps its free top, which malloc_trim leaves alone, and a thread that ends leaves its
    // heap for the next thread to take. So threads started now take the heaps the batch's threads left,
    // and a free there gives the top back while the bound is low. Few enough that none has to share the
    // heap of a live thread, such as the loading thread's warmed one.
    constexpr int kThreads = 6;
    ::mallopt(M_TRIM_THRESHOLD, 1 << 20);
    std::latch allHere(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&allHere] {
            allHere.arrive_and_wait();  // all alive at once, each on a heap of its own
            void* bytes = std::malloc(256 << 10);
            asm volatile("" : : "r"(bytes) : "memory");
            std::free(bytes);
        });
    for (std::thread& t : threads) t.join();
    ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
    // Free chunks within every heap, and the main heap's top.
    ::malloc_trim(0);
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
