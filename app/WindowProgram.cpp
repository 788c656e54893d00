#include "app/WindowProgram.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace cli {

namespace {

// The folder of the running program as the kernel knows it; argv[0] may be anything its caller chose.
std::string OwnFolder() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || std::size_t(n) >= path.size()) return {};
    path.resize(std::size_t(n));
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

int StartWindowProgram(char** argv) {
    const std::string folder = OwnFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "torv-image-resize: cannot start the window program: /proc/self/exe: %s\n",
                     std::strerror(errno));
        return 1;
    }
    // Beside this program in the build tree; in its own folder under libexec once installed.
    const std::string places[] = {folder + TORV_WINDOW_PROGRAM, folder + TORV_WINDOW_PROGRAM_FROM_BIN};
    for (const std::string& place : places) {
        ::execv(place.c_str(), argv);
        if (errno != ENOENT) {
            std::fprintf(stderr, "torv-image-resize: cannot start the window program %s: %s\n", place.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::fprintf(stderr, "torv-image-resize: the window program is missing: neither %s nor %s exists\n",
                 places[0].c_str(), places[1].c_str());
    return 1;
}

}  // namespace cli
