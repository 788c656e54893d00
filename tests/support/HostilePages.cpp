#include "tests/support/HostilePages.h"

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestPictures.h"

#include <QtEndian>
#include <array>

namespace hostile {

namespace {

QByteArray Big32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// Deflate's bits, least significant first; Huffman codes go most significant bit first.
class BitWriter {
public:
    void bits(quint32 value, int count) {
        pending_ |= quint64(value) << count_;
        for (count_ += count; count_ >= 8; count_ -= 8, pending_ >>= 8) out_.append(char(pending_ & 0xFF));
    }
    void code(quint32 code, int length) {
        quint32 reversed = 0;
        for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1) << (length - 1 - i);
        bits(reversed, length);
    }
    void zeros(qint64 count) {
        const int toByte = int(std::min<qint64>(count, (8 - count_) % 8));
        bits(0, toByte);
        count -= toByte;
        out_.append(count / 8, '\0');
        bits(0, int(count % 8));
    }
    QByteArray finish() {
        if (count_ > 0) bits(0, 8 - count_);
        return out_;
    }

private:
    QByteArray out_;
    quint64 pending_ = 0;
    int count_ = 0;
};

// A zlib stream of size zero bytes in one dynamic-Huffman block: literal 0 and end-of-block take 2 bits,
// a match of length 258 (symbol 285) 1 bit, its distance 1 another.
QByteArray ZeroZlib(qint64 size) {
    BitWriter w;
    w.bits(1, 1);   // last block
    w.bits(2, 2);   // dynamic Huffman codes
    w.bits(29, 5);  // 286 literal/length codes
    w.bits(0, 5);   // 1 distance code
    w.bits(14, 4);  // 18 code length codes, in the order below
    constexpr std::array<int, 18> order{16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1};
    for (int symbol : order) w.bits(symbol == 18 ? 1 : (symbol == 1 || symbol == 2) ? 2 : 0, 3);
    // Code lengths: 1 -> 10, 2 -> 11, 18 (a run of 11 to 138 zeros) -> 0.
    auto length = [&w](int bits) { w.code(bits == 1 ? 2 : 3, 2); };
    auto zeroRun = [&w](int count) {
        w.code(0, 1);
        w.bits(count - 11, 7);
    };
    length(2);  // literal 0
    zeroRun(138);
    zeroRun(117);
    length(2);  // 256, end of block
    zeroRun(28);
    length(1);  // 285, length 258
    length(1);  // distance code 0, distance 1
    // Literal 0 -> 10, 256 -> 11, 285 -> 0; distance 1 -> 0.
    w.code(2, 2);
    const qint64 matches = (size - 1) / 258;
    w.zeros(matches * 2);
    for (qint64 i = 0; i < (size - 1) % 258; ++i) w.code(2, 2);
    w.code(3, 2);
    const quint32 adler = quint32(size % 65521) << 16 | 1;  // of zeros: a stays 1, b grows by 1 a byte
    return "\x78\x01" + w.finish() + Big32(adler);
}

quint32 Crc32(const QByteArray& data) {
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (char byte : data) c = table[(c ^ uchar(byte)) & 0xFF] ^ (c >> 8);
    return ~c;
}

QByteArray Chunk(const QByteArray& type, const QByteArray& data) {
    return Big32(quint32(data.size())) + type + data + Big32(Crc32(type + data));
}

}  // namespace

QByteArray ZeroPng(int width, int height, int bitDepth, int colourType) {
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const qint64 rowBytes = 1 + qint64(width) * channels * bitDepth / 8;  // a filter byte, then pixels
    const QByteArray header =
        Big32(width) + Big32(height) + char(bitDepth) + char(colourType) + QByteArray(3, '\0');
    return "\x89PNG\r\n\x1a\n" + Chunk("IHDR", header) + Chunk("IDAT", ZeroZlib(rowBytes * height)) +
           Chunk("IEND", {});
}

void ServeHostilePages(LoopbackHttpServer& server) {
    server.setPage("/deep", "<html><body>" + QByteArray("<table><tr><td>").repeated(3000) + "x" +
                                QByteArray("</td></tr></table>").repeated(3000) + "</body></html>");
    server.setStreamed("/endless", -1);
    server.setStreamed("/huge", 20 * 1024 * 1024);

    QByteArray many = "<html><body><p>Reklam</p>";
    const QByteArray small = testpics::Encode(testpics::Gradient(16, 16), "PNG");
    for (int i = 0; i < 300; ++i) {
        const QByteArray path = "/img/" + QByteArray::number(i) + ".png";
        many += "<img src=\"" + path + "\">";
        server.setPage(path, small, "image/png");
    }
    server.setPage("/many", many + "</body></html>");

    server.setPage("/bomb", "<p>Reklam</p><img src=\"/bomb.png\">");
    server.setPage("/bomb.png", ZeroPng(16384, 16384, 8, 0), "image/png");
    server.setPage("/bomb16", "<p>Reklam</p><img src=\"/bomb16.png\">");
    server.setPage("/bomb16.png", ZeroPng(16384, 16384, 16, 6), "image/png");

    server.setPage("/r0", "<p>Reklam</p>");
    for (int i = 1; i <= 6; ++i)
        server.setRedirect("/r" + QByteArray::number(i), "/r" + QByteArray::number(i - 1));
    server.setRedirect("/local", "file:///etc/passwd");
    server.setPage("/slow", QByteArray(64000, 'w'));
}

}  // namespace hostile
