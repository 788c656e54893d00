#include "tests/support/HostilePages.h"

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestPictures.h"

namespace hostile {

void ServeHostilePages(LoopbackHttpServer& server) {
    server.setPage("/deep", QByteArray("<table><tr><td>").repeated(3000) + "Reklam" +
                                QByteArray("</td></tr></table>").repeated(3000));
    server.setEndless("/endless");
    server.setEndless("/huge", 20 * 1024 * 1024);
    server.setPage("/slow", "Reklam " + QByteArray(64000, 'w'));
    server.setSilent("/silent");

    QByteArray many = "<p>Reklam</p>";
    const QByteArray small = testpics::Encode(testpics::Gradient(16, 16), "PNG");
    for (int i = 0; i < 300; ++i) {
        many += "<img src=\"/img/" + QByteArray::number(i) + ".png\">";
        server.setPage("/img/" + QByteArray::number(i) + ".png", small, "image/png");
    }
    server.setPage("/many", many);
    // Zeros compress well: 32 MB of one-bit pixels, 1 GB once Qt turns them to colour for the screen.
    QImage bomb(16384, 16384, QImage::Format_Mono);
    bomb.fill(0);
    server.setPage("/bomb.png", testpics::Encode(bomb, "PNG"), "image/png");
    server.setPage("/bomb", "<p>Reklam</p><img src=\"/bomb.png\">");
    server.setPage("/bigimage", "<p>Reklam</p><img src=\"/huge\">");
    server.setPage("/waits", "<p>Reklam</p><img src=\"/silent\">");

    server.setPage("/r0", "<p>Reklam</p>");
    for (int i = 1; i <= 6; ++i)
        server.setRedirect("/r" + QByteArray::number(i), "/r" + QByteArray::number(i - 1));
    server.setRedirect("/local", "file:///etc/passwd");
}

}  // namespace hostile
