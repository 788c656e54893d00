#include "core/heif_library.h"

#include <dlfcn.h>

namespace core {

namespace {

constexpr char kName[] = "libheif.so.1";

Error Unavailable(const char* why) {
    return {Cause::LibraryMissing,
            QStringLiteral("HEIF and AVIF pictures need %1, which cannot be loaded (%2)")
                .arg(QLatin1String(kName), QString::fromLocal8Bit(why ? why : "unknown reason"))};
}

Result<const HeifLibrary*> Load() {
    // Never closed: its functions are used until the program ends.
    void* handle = ::dlopen(kName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return Unavailable(::dlerror());
    static HeifLibrary library;
#define TORV_HEIF_FIND(name)                                                    \
    library.name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name)); \
    if (!library.name) return Unavailable(::dlerror());
    TORV_HEIF_FUNCTIONS(TORV_HEIF_FIND)
#undef TORV_HEIF_FIND
    return &library;
}

}  // namespace

const Result<const HeifLibrary*>& LoadHeifLibrary() {
    static const Result<const HeifLibrary*> loaded = Load();
    return loaded;
}

}  // namespace core
