#include "core/temporary_files.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <atomic>
#include <climits>
#include <cstring>

namespace core {

namespace {

enum State : int { kFree, kMaking, kListed, kRemoving };

// One writer per picture in flight; a batch runs far fewer at a time.
constexpr int kSlots = 64;

struct Slot {
    std::atomic<int> state{kFree};
    int folder = -1;
    int file = -1;
    char name[NAME_MAX + 1] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

Slot slots[kSlots];

}  // namespace

int TemporaryFiles::Register(int folderFd, const char* name) {
    const std::size_t length = std::strlen(name);
    if (length > NAME_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kMaking)) continue;
        slots[i].folder = folderFd;
        slots[i].file = -1;
        std::memcpy(slots[i].name, name, length + 1);
        return i;
    }
    return -1;
}

void TemporaryFiles::Made(int slot, int fileFd) {
    if (slot < 0 || slot >= kSlots) return;
    slots[slot].file = fileFd;
    slots[slot].state.store(kListed);
}

void TemporaryFiles::Forget(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    for (int expected = kListed; !slots[slot].state.compare_exchange_strong(expected, kFree);
         expected = kListed) {
        // A removal under way uses this slot's descriptors, which the caller closes next.
        if (expected == kMaking) {
            slots[slot].state.store(kFree);
            return;
        }
        if (expected != kRemoving) return;
        ::sched_yield();
    }
}

void TemporaryFiles::RemoveAllNow() {
    for (Slot& slot : slots) {
        int expected = kListed;
        // A file being made is listed in a moment by a thread that no signal interrupts.
        while (!slot.state.compare_exchange_strong(expected, kRemoving)) {
            if (expected != kMaking) break;
            expected = kListed;
            ::sched_yield();
        }
        if (expected != kListed) continue;
        struct stat named {};
        struct stat held {};
        if (::fstatat(slot.folder, slot.name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            ::fstat(slot.file, &held) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::unlinkat(slot.folder, slot.name, 0);
        slot.state.store(kFree);
    }
}

}  // namespace core
