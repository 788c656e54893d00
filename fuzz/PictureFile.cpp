#include "fuzz/PictureFile.h"

#include "fuzz/Harness.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fuzz {

namespace {

std::filesystem::path MakeScratchFolder() {
    std::string name = (std::filesystem::temp_directory_path() / "torv-fuzz-XXXXXX").string();
    Require(mkdtemp(name.data()) != nullptr, "cannot make a scratch folder");
    return name;
}

// One scratch folder per process, removed at a normal exit (registered after the folder exists, so it
// runs before the folder's name is destroyed); a crash leaves it behind in the temp folder.
const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = MakeScratchFolder();
    static const bool removedAtExit = std::atexit([] {
                                          std::error_code ignored;
                                          std::filesystem::remove_all(folder, ignored);
                                      }) == 0;
    (void)removedAtExit;
    return folder;
}

const char* ExtensionFor(const std::uint8_t* data, std::size_t size) {
    static const char* const kAny[] = {".jpg", ".jpeg", ".bmp", ".gif", ".png", ".JPG", ".heic", ".avif", ".webp", ".tif"};
    if (size == 0) return ".jpg";
    switch (data[0]) {
        case 0xFF:
            return ".jpg";
        case 0x89:
            return ".png";
        case 'B':
            return ".bmp";
        case 'G':
            return ".gif";
        case 0:  // a HEIF's first box, ftyp
            return ".heic";
        case 'R':
            return ".webp";
        case 'I':
        case 'M':
            return ".tif";
        default:
            return kAny[data[0] % std::size(kAny)];
    }
}

}  // namespace

PictureFile::PictureFile(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path in = ScratchFolder() / (std::string("input") + ExtensionFor(data, size));
    const std::filesystem::path out = ScratchFolder() / "output.jpg";
    std::ofstream file(in, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    Require(file.good(), "cannot write the input file");
    path_ = QString::fromStdString(in.string());
    outputPath_ = QString::fromStdString(out.string());
}

PictureFile::~PictureFile() {
    std::error_code ignored;
    std::filesystem::remove(path_.toStdString(), ignored);
    std::filesystem::remove(outputPath_.toStdString(), ignored);
}

}  // namespace fuzz
