#pragma once
// The web browser pane: fetches a page on the event loop and shows its HTML with the page's remote
// images, or shows a page stored with the program ("qrc:" addresses). It never blocks, follows no local
// links, opens clicked web links in the user's browser, and stays empty when the page cannot be had.
//
// The server is not trusted (the address may be plain http): a page is at most kMaxPageBytes and is shown
// only if its elements nest at most kMaxNesting deep; at most kMaxImages of its images are fetched, each at
// most kMaxImageBytes and kMaxImagePixels; redirects go only to web addresses, at most kMaxRedirects of
// them; a page and its images get pageDeadline() in all. Images are decoded and the page's layout timed on
// a worker thread; a page too slow to lay out stays unshown, and a shown one is laid out once, when its
// last image arrived or failed, or the deadline passed. No network object exists before the first web
// address.

#include <QHash>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QTextBrowser>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

// Navigation flags of Navigate.
enum BrowserNavConstants : int {
    navNoHistory = 2,
    navNoReadFromCache = 4,
    navNoWriteToCache = 8,
};

class WebBrowser : public QTextBrowser {
    Q_OBJECT
public:
    static constexpr qint64 kMaxPageBytes = 64 * 1024;
    static constexpr int kMaxNesting = 16;
    static constexpr int kMaxImages = 16;
    static constexpr qint64 kMaxImageBytes = 1024 * 1024;
    static constexpr qint64 kMaxImagePixels = 2 * 1024 * 1024;
    static constexpr int kMaxRedirects = 5;
    static constexpr int kPageDeadlineMs = 15000;

    explicit WebBrowser(QWidget* parent = nullptr);
    ~WebBrowser() override;

    void Navigate(const QString& url, int flags = 0);
    QUrl LocationURL() const { return location_; }
    // Pages and images still on their way.
    int pendingRequests() const;
    // How long a page and its images may take together; applies from the next navigation.
    int pageDeadline() const { return deadlineMs_; }
    void setPageDeadline(int ms) { deadlineMs_ = ms; }

signals:
    void NavigateComplete();  // a page arrived and is shown
    void NavigateError();     // the page could not be had; the pane is empty

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    struct PageImage {
        QUrl url;
        QNetworkReply* reply = nullptr;  // while on its way
        QByteArray bytes;                // what came, if it came whole
        int redirects = 0;
    };
    struct Prepared;

    QNetworkAccessManager* network();
    QNetworkReply* get(const QUrl& url, qint64 maxBytes);
    void stopAll();
    void fail();
    void fetchPage(const QUrl& url, int redirects);
    void pageFinished(QNetworkReply* reply, int redirects);
    void pageArrived(const QByteArray& bytes, const QUrl& base);
    // Decodes the images that came and times the page's layout away from the window's thread.
    void prepare(bool withImages);
    void prepared(const Prepared& result, bool withImages);
    void fetchImage(PageImage& image, const QUrl& url);
    void imageFinished(QNetworkReply* reply);
    void deadlinePassed();
    void linkClicked(const QUrl& link);

    QNetworkAccessManager* network_ = nullptr;
    int flags_ = 0;
    int deadlineMs_ = kPageDeadlineMs;
    int generation_ = 0;  // one per navigation, so that late results of an earlier one are dropped
    QUrl location_;
    QPointer<QNetworkReply> page_;
    QString html_;
    QUrl base_;
    QList<PageImage> images_;
    QTimer deadline_;
    // Its destructor waits for a job still running, so that none outlives the pane and the fonts it uses.
    QThreadPool worker_;
};

}  // namespace platform
