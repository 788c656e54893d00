#pragma once
// The fuzzer's bytes as a picture file on disk. The loader reads files by name and picks its decoder by
// extension and content, so the extension is part of the input: the first byte chooses it, the way a
// real file of that kind would (0xFF a JPEG, 0x89 a PNG, 'B' a BMP, 'G' a GIF), any other byte by value.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace fuzz {

class PictureFile {
public:
    PictureFile(const std::uint8_t* data, std::size_t size);
    ~PictureFile();  // removes the file and anything written to outputPath()
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    QString path() const { return path_; }
    // A path beside it where a harness may write a JPEG; nothing is there at first.
    QString outputPath() const { return outputPath_; }

private:
    QString path_;
    QString outputPath_;
};

}  // namespace fuzz
