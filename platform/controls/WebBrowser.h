#pragma once
// The web browser pane: fetches a page on the event loop and shows its HTML with the page's remote
// images. It never blocks, follows no local links, opens clicked web links in the user's browser,
// and stays empty when the page cannot be had.

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QTextBrowser>
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
    explicit WebBrowser(QWidget* parent = nullptr);
    ~WebBrowser() override;

    void Navigate(const QString& url, int flags = 0);
    QUrl LocationURL() const { return location_; }
    // Pages and images still on their way.
    int pendingRequests() const;

signals:
    void NavigateComplete();  // a page arrived and is shown
    void NavigateError();     // the page could not be had; the pane is empty

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    class PaneDocument;
    // An image of the page: the fetched one, or nothing yet (and a fetch started).
    QVariant webImage(const QUrl& name);
    void fetchPageImages();
    void pageFinished(QNetworkReply* reply);
    void imageFinished(QNetworkReply* reply, const QUrl& url);
    QNetworkReply* get(const QUrl& url);
    void linkClicked(const QUrl& link);

    QNetworkAccessManager* network_;
    int flags_ = 0;
    QUrl location_;
    QString html_;
    QPointer<QNetworkReply> page_;
    QHash<QUrl, QImage> images_;
    QHash<QUrl, QPointer<QNetworkReply>> pendingImages_;
};

}  // namespace platform
