// The web browser pane: a page and its remote images fetched on the event loop without caches, no
// local files read, an empty pane on failure, and a new navigation replacing a pending one.
#include "platform/controls/WebBrowser.h"
#include "tests/support/LoopbackHttpServer.h"
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
        const QString secret =
            testpics::Save(testpics::Gradient(8, 8), dir.filePath(QStringLiteral("secret.png")));
        LoopbackHttpServer server;
        const QByteArray page = "<html><body><img src=\"file://" + secret.toUtf8() + "\"><a href=\"file://" +
                                secret.toUtf8() + "\">yerel</a></body></html>";
        server.setPage("/ad.html", page);
        platform::WebBrowser pane;
        QSignalSpy complete(&pane, &platform::WebBrowser::NavigateComplete);
        pane.Navigate(server.base() + QStringLiteral("/ad.html"), platform::navNoWriteToCache);
        QVERIFY(complete.wait(5000));
        QTest::qWait(50);
        QVERIFY(DocumentImage(pane, QStringLiteral("file://") + secret).isNull());
        QCOMPARE(pane.pendingRequests(), 0);
        // A local link is not followed either: clicking it leaves the page as it is.
        emit pane.anchorClicked(QUrl::fromLocalFile(secret));
        QVERIFY(pane.toPlainText().contains(QStringLiteral("yerel")));
        QCOMPARE(pane.LocationURL(), QUrl(server.base() + QStringLiteral("/ad.html")));
        // Nor is a local address navigated to.
        QSignalSpy error(&pane, &platform::WebBrowser::NavigateError);
        pane.Navigate(QUrl::fromLocalFile(secret).toString(), 0);
        QCOMPARE(error.count(), 1);
        QVERIFY(pane.toPlainText().isEmpty());
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
