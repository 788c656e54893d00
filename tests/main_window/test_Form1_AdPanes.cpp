// The advertising panes: without a server, the pages stored with the program and no network at all; with
// one, both pages asked for without caches and shown when they come, and a server that never answers
// holds nothing up. How a pane fails is the pane's own test.
#include "main_window/Form1.h"
#include "platform/controls/WebBrowser.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include "tests/support/QtTests.h"

#include <QTest>

namespace {
platform::WebBrowser* Pane(Form1& form, const char* name) {
    return form.findChild<platform::WebBrowser*>(QLatin1String(name));
}
}  // namespace

class TestForm1AdPanes : public QObject {
    Q_OBJECT
private slots:
    void withoutAServerStoredPagesAndNoNetwork() {
        if (!QStringLiteral(TORV_AD_SERVER).isEmpty()) QSKIP("built with an advertising server");
        Form1 form;
        form.show();
        QTRY_VERIFY(Pane(form, "WebBrowser1")->toPlainText().startsWith(QStringLiteral("İpucu:")));
        QTRY_COMPARE(Pane(form, "WebBrowser2")->toPlainText().trimmed(),
                     QStringLiteral("Torv Image Resize " TORV_VERSION));
        // A pane makes its network object for its first web address; none means no request, no lookup.
        QVERIFY(form.findChildren<QNetworkAccessManager*>().isEmpty());
    }

    void bothPagesAskedForWithoutCaches() {
        LoopbackHttpServer server;
        server.setPage("/reklam.asp?id=1", "<html><body><p>Birinci reklam</p></body></html>");
        server.setPage("/reklam.asp?id=2", "<html><body><p>İkinci reklam</p></body></html>");
        Form1 form(server.base());
        form.show();
        QVERIFY(server.waitForRequests(2));
        QVERIFY(server.received("/reklam.asp?id=1"));
        QVERIFY(server.received("/reklam.asp?id=2"));
        for (const RecordedRequest& request : server.requests()) {
            QCOMPARE(request.method, QByteArray("GET"));
            QCOMPARE(request.headers.value("cache-control"), QByteArray("no-cache"));
            QCOMPARE(request.headers.value("pragma"), QByteArray("no-cache"));
        }
        QTRY_VERIFY(Pane(form, "WebBrowser1")->toPlainText().contains(QStringLiteral("Birinci reklam")));
        QTRY_VERIFY(Pane(form, "WebBrowser2")->toPlainText().contains(QStringLiteral("İkinci reklam")));
    }

    void windowWorksWithAServerThatNeverAnswers() {
        LoopbackHttpServer server(LoopbackHttpServer::Mode::Silent);
        QElapsedTimer clock;
        clock.start();
        Form1 form(server.base());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(server.waitForRequests(2));
        // The pages are still on their way, yet the window answers.
        QVERIFY(Pane(form, "WebBrowser1")->pendingRequests() > 0);
        auto* text1 = form.findChild<QLineEdit*>(QStringLiteral("Text1"));
        text1->selectAll();
        QTest::keyClicks(text1, QStringLiteral("640"));
        QCOMPARE(text1->text(), QStringLiteral("640"));
        QVERIFY(Pane(form, "WebBrowser1")->toPlainText().isEmpty());
    }
};

TORV_QTEST(TestForm1AdPanes)
#include "test_Form1_AdPanes.moc"
