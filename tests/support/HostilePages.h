#pragma once
// What a hostile advertising server sends, for the browser pane's tests: pages, bodies, redirects and
// images that each try to crash the pane, exhaust memory or freeze the window.

#include <QByteArray>

class LoopbackHttpServer;

namespace hostile {

// A PNG of width x height whose pixels are all zero, made without holding them: its deflate stream is
// written by hand (one literal, then matches of 258 bytes at one bit each), so that 2^31 bytes of pixels
// take 2 MB, as in a decompression bomb. colourType and bitDepth as in the PNG header (0 grey, 2 RGB,
// 4 grey and alpha, 6 RGBA; 8 or 16 bits).
QByteArray ZeroPng(int width, int height, int bitDepth, int colourType);

// Serves on server:
//   /deep      tables nested 3,000 deep (about 100 KB)
//   /endless   a body that never ends          /huge       a body of 20 MB
//   /many      a page of 300 small images (/img/0.png ...)
//   /bomb      a page whose image /bomb.png is 16384 x 16384 grey (256 MB of pixels in 260 KB)
//   /bomb16    a page whose image /bomb16.png is 16384 x 16384 RGBA at 16 bits (2 GB of pixels in 2 MB)
//   /r5, /r6   chains of 5 and 6 redirects ending at a small page (/r0)
//   /local     a redirect to file:///etc/passwd
//   /slow      64,000 bytes of a word that never breaks, slow to lay out
void ServeHostilePages(LoopbackHttpServer& server);

}  // namespace hostile
