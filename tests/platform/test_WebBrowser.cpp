// The web browser pane: a page and its remote images fetched on the event loop without caches, no
// local files read, an empty pane on failure, a new navigation replacing a pending one, and a hostile
// server held to little memory and no stall of the window.
#include "platform/controls/WebBrowser.h"
#include "tests/support/HostilePages.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/OpenWatch.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/StallMeter.h"
#include "tests/support/TestPictures.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include "tests/support/QtTests.h"

#include <QTest>
#include <QTextBlock>
#include <QTextImageFormat>

namespace {

QByteArray PngBytes(const QImage& image) { return testpics::Encode(image, "PNG"); }

// The image resources the pane's document holds, by the names the page gave.
QImage DocumentImage(platform::WebBrowser& pane, const QString& name) {
    return pane.document()->resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
}

#ifdef TORV_SANITIZED_BUILD
// AddressSanitizer's shadow memory and quarantine, and its slower code, are not the pane's.
constexpr qint64 kStallLimitMs = 200;
constexpr long kPeakLimitKiB = 1024 * 1024;
#else
constexpr qint64 kStallLimitMs = 50;
constexpr long kPeakLimitKiB = 300 * 1024;
#endif

}  // namespace

class TestWebBrowser : public QObject {
    Q_OBJECT
private slots:
    void showsThePageWithItsImages() {
        LoopbackHttpServer server;
        const QImage banner = testpics::Gradient(40, 20);
        server.setPage("/ad.html", "<html><body><p>Reklam metni</p><img src=\"/banner.png\"></body></html>");
        server.setPage("/banner.png", PngBytes(banner), "image/png");
        platform::WebBrowser pane;
        QSignalSpy complete(&pane, &platform::WebBrowser::NavigateComplete);
        pane.Navigate(server.base() + QStringLiteral("/ad.html"), platform::navNoWriteToCache);
        QVERIFY(pane.toPlainText().isEmpty());  // nothing waits for the page
        QVERIFY(complete.wait(5000));
        QVERIFY(pane.toPlainText().contains(QStringLiteral("Reklam metni")));
        QCOMPARE(pane.LocationURL(), QUrl(server.base() + QStringLiteral("/ad.html")));
        QTRY_VERIFY(server.received("/banner.png"));
        QTRY_COMPARE(pane.pendingRequests(), 0);
        QTRY_COMPARE(DocumentImage(pane, QStringLiteral("/banner.png")).size(), banner.size());
        for (const RecordedRequest& request : server.requests())
            QCOMPARE(request.headers.value("cache-control"), QByteArray("no-cache"));
    }

    void readsNoLocalFiles() {
        QTemporaryDir dir;
        const QByteArray secret =
            testpics::Save(testpics::Gradient(400, 400), dir.filePath(QStringLiteral("secret.png"))).toUtf8();
        const OpenWatch watch(QString::fromUtf8(secret));
        QVERIFY(watch.watching());
        LoopbackHttpServer server;
        // Named as a local address and as a path, which Qt would read when the server has no such image.
        server.setPage("/ad.html", "<html><body><img src=\"file://" + secret + "\"><img src=\"" + secret +
                                       "\"><a href=\"file://" + secret + "\">yerel</a></body></html>");
        server.setRedirect("/moved", "file://" + secret);
        platform::WebBrowser pane;
        pane.show();
        QSignalSpy complete(&pane, &platform::WebBrowser::NavigateComplete);
        QSignalSpy error(&pane, &platform::WebBrowser::NavigateError);
        pane.Navigate(server.base() + QStringLiteral("/ad.html"), platform::navNoWriteToCache);
        QVERIFY(complete.wait(5000));
        QTest::qWait(50);  // painted
        QCOMPARE(pane.pendingRequests(), 0);
        // A local link is not followed either: clicking it leaves the page as it is.
        emit pane.anchorClicked(QUrl::fromLocalFile(QString::fromUtf8(secret)));
        QVERIFY(pane.toPlainText().contains(QStringLiteral("yerel")));
        QCOMPARE(pane.LocationURL(), QUrl(server.base() + QStringLiteral("/ad.html")));
        // Nor is a local address navigated to, directly or by a redirect.
        pane.Navigate(QUrl::fromLocalFile(QString::fromUtf8(secret)).toString(), 0);
        QCOMPARE(error.count(), 1);
        QVERIFY(pane.toPlainText().isEmpty());
        pane.Navigate(server.base() + QStringLiteral("/moved"), platform::navNoWriteToCache);
        QVERIFY(error.wait(5000));
        QVERIFY(!watch.opened());
    }

    void failuresLeaveAnEmptyPane() {
        LoopbackHttpServer server;  // knows no pages: every answer is 404 with a text body
        platform::WebBrowser pane;
        QSignalSpy error(&pane, &platform::WebBrowser::NavigateError);
        pane.Navigate(server.base() + QStringLiteral("/reklam.asp?id=1"), platform::navNoWriteToCache);
        QVERIFY(error.wait(5000));
        QVERIFY(pane.toPlainText().isEmpty());

        pane.Navigate(LoopbackHttpServer::RefusedBase() + QStringLiteral("/reklam.asp?id=1"), 0);
        QVERIFY(error.wait(5000));
        QVERIFY(pane.toPlainText().isEmpty());
        QCOMPARE(pane.pendingRequests(), 0);
    }

    void aNewNavigationReplacesAPendingOne() {
        LoopbackHttpServer silent(LoopbackHttpServer::Mode::Silent);
        LoopbackHttpServer answering;
        answering.setPage("/b", "<p>ikinci</p>");
        platform::WebBrowser pane;
        QSignalSpy complete(&pane, &platform::WebBrowser::NavigateComplete);
        pane.Navigate(silent.base() + QStringLiteral("/a"), platform::navNoWriteToCache);
        QVERIFY(silent.waitForRequests(1));
        QCOMPARE(pane.pendingRequests(), 1);
        pane.Navigate(answering.base() + QStringLiteral("/b"), platform::navNoWriteToCache);
        QVERIFY(complete.wait(5000));
        QCOMPARE(complete.count(), 1);
        QCOMPARE(pane.toPlainText(), QStringLiteral("ikinci"));
        QCOMPARE(pane.pendingRequests(), 0);
    }

    // Each hostile answer ends shown without the offending part, or not shown, within little memory and no
    // stall of the window; a page and its images share one deadline (shortened here).
    void hostileServersAreBounded_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("image");  // one the page names
        QTest::addColumn<bool>("imageShown");
        QTest::newRow("tables nested 3000 deep") << "/deep" << false << "" << false;
        QTest::newRow("an endless body") << "/endless" << false << "" << false;
        QTest::newRow("a body of 20 MB") << "/huge" << false << "" << false;
        QTest::newRow("a word too long to lay out quickly") << "/slow" << false << "" << false;
        QTest::newRow("300 images") << "/many" << true << "/img/0.png" << true;
        QTest::newRow("a PNG bomb of 16384 x 16384") << "/bomb" << true << "/bomb.png" << false;
        QTest::newRow("an image of 20 MB") << "/bigimage" << true << "/huge" << false;
        QTest::newRow("5 redirects") << "/r5" << true << "" << false;
        QTest::newRow("6 redirects") << "/r6" << false << "" << false;
        QTest::newRow("a redirect to a local file") << "/local" << false << "" << false;
        QTest::newRow("a page that never comes") << "/silent" << false << "" << false;
        QTest::newRow("an image that never comes") << "/waits" << true << "/silent" << false;
    }
    void hostileServersAreBounded() {
        QFETCH(QString, page);
        QFETCH(bool, shown);
        QFETCH(QString, image);
        QFETCH(bool, imageShown);
        LoopbackHttpServer server;
        hostile::ServeHostilePages(server);
        platform::WebBrowser pane;
        pane.setPageDeadline(2000);
        pane.resize(400, 60);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        QSignalSpy complete(&pane, &platform::WebBrowser::NavigateComplete);
        QSignalSpy error(&pane, &platform::WebBrowser::NavigateError);
        const StallMeter stalls;
        pane.Navigate(server.base() + page, platform::navNoWriteToCache);
        StallMeter::RunEventsUntil([&] { return complete.count() + error.count() > 0; }, 10000);
        StallMeter::RunEventsUntil([] { return false; }, 100);  // painted, and nothing more comes
        qInfo("longest stall %lld ms, peak memory %ld MB", stalls.longestMs(),
              testmem::PeakMemoryKiB() / 1024);

        QCOMPARE(complete.count() + error.count(), 1);
        QCOMPARE(complete.count(), shown ? 1 : 0);
        QCOMPARE(pane.toPlainText().contains(QStringLiteral("Reklam")), shown);
        if (!shown) QVERIFY(pane.toPlainText().isEmpty());
        if (!image.isEmpty()) QCOMPARE(!DocumentImage(pane, image).isNull(), imageShown);
        QCOMPARE(pane.pendingRequests(), 0);
        const auto& asked = server.requests();
        QVERIFY(std::count_if(asked.begin(), asked.end(), [](const RecordedRequest& r) {
                    return r.target.startsWith("/img/");
                }) <= platform::WebBrowser::kMaxImages);
        QVERIFY(stalls.longestMs() < kStallLimitMs);
        QVERIFY(testmem::PeakMemoryKiB() < kPeakLimitKiB);
    }

    void destroyedWhileWaiting() {
        LoopbackHttpServer silent(LoopbackHttpServer::Mode::Silent);
        {
            platform::WebBrowser pane;
            pane.Navigate(silent.base() + QStringLiteral("/a"), platform::navNoWriteToCache);
            QVERIFY(silent.waitForRequests(1));
        }
        QTest::qWait(20);  // nothing arrives at the destroyed pane
    }
};

TORV_QTEST(TestWebBrowser)
#include "test_WebBrowser.moc"
