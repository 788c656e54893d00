#include "platform/controls/WebBrowser.h"

#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScrollBar>
#include <QTextBlock>

namespace platform {

namespace {
constexpr int kTransferTimeoutMs = 30000;  // a silent server must not keep a request open forever

bool IsWeb(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}
}  // namespace

// A document that gets its resources only from the pane: QTextDocument would otherwise read local
// files itself when the pane has nothing to give.
class WebBrowser::PaneDocument : public QTextDocument {
public:
    explicit PaneDocument(WebBrowser* pane) : QTextDocument(pane), pane_(pane) {}

protected:
    QVariant loadResource(int type, const QUrl& name) override {
        return type == QTextDocument::ImageResource ? pane_->webImage(name) : QVariant();
    }

private:
    WebBrowser* pane_;
};

WebBrowser::WebBrowser(QWidget* parent) : QTextBrowser(parent), network_(new QNetworkAccessManager(this)) {
    setDocument(new PaneDocument(this));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameStyle(QFrame::NoFrame);
    connect(this, &QTextBrowser::anchorClicked, this, &WebBrowser::linkClicked);
}

WebBrowser::~WebBrowser() {
    // Replies finishing during teardown must not reach a half-destroyed pane.
    network_->disconnect(this);
    if (page_) page_->disconnect(this);
    for (const auto& reply : std::as_const(pendingImages_))
        if (reply) reply->disconnect(this);
}

int WebBrowser::pendingRequests() const {
    int pending = page_ ? 1 : 0;
    for (const auto& reply : pendingImages_)
        if (reply) ++pending;
    return pending;
}

QNetworkReply* WebBrowser::get(const QUrl& url) {
    QNetworkRequest request(url);
    if (flags_ & navNoReadFromCache)
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (flags_ & navNoWriteToCache) {
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setRawHeader("Cache-Control", "no-cache");
        request.setRawHeader("Pragma", "no-cache");
    }
    request.setTransferTimeout(kTransferTimeoutMs);
    return network_->get(request);
}

void WebBrowser::Navigate(const QString& url, int flags) {
    if (page_) {
        page_->disconnect(this);
        page_->abort();
        page_->deleteLater();
    }
    for (const auto& reply : std::as_const(pendingImages_)) {
        if (!reply) continue;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    pendingImages_.clear();
    images_.clear();
    html_.clear();
    clear();

    flags_ = flags;
    location_ = QUrl(url);
    if (!IsWeb(location_)) {
        emit NavigateError();
        return;
    }
    QNetworkReply* reply = get(location_);
    page_ = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { pageFinished(reply); });
}

void WebBrowser::pageFinished(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply != page_) return;
    page_ = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status >= 300) {
        clear();
        emit NavigateError();
        return;
    }
    html_ = QString::fromUtf8(reply->readAll());
    document()->setBaseUrl(reply->url());
    setHtml(html_);
    fetchPageImages();
    emit NavigateComplete();
}

QVariant WebBrowser::loadResource(int type, const QUrl& name) {
    return type == QTextDocument::ImageResource ? webImage(name) : QVariant();
}

QVariant WebBrowser::webImage(const QUrl& name) {
    // Only the page's web images are fetched; local files and style sheets are never read.
    const QUrl url = document()->baseUrl().resolved(name);
    if (!IsWeb(url)) return {};
    if (auto found = images_.constFind(url); found != images_.constEnd()) return *found;
    if (!pendingImages_.contains(url)) {
        QNetworkReply* reply = get(url);
        pendingImages_.insert(url, reply);
        connect(reply, &QNetworkReply::finished, this, [this, reply, url] { imageFinished(reply, url); });
    }
    return {};
}

void WebBrowser::fetchPageImages() {
    // Asked for now rather than when first painted, so that a hidden pane is ready when shown.
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) webImage(QUrl(format.toImageFormat().name()));
        }
}

void WebBrowser::imageFinished(QNetworkReply* reply, const QUrl& url) {
    reply->deleteLater();
    pendingImages_.remove(url);
    QImage image;
    if (reply->error() == QNetworkReply::NoError) image.loadFromData(reply->readAll());
    // A broken image is remembered as an empty one so that it is not asked for again.
    images_.insert(url, image);
    if (!image.isNull()) {
        const int scroll = verticalScrollBar()->value();
        setHtml(html_);
        verticalScrollBar()->setValue(scroll);
    }
}

void WebBrowser::linkClicked(const QUrl& link) {
    const QUrl url = document()->baseUrl().resolved(link);
    if (IsWeb(url)) QDesktopServices::openUrl(url);
}

}  // namespace platform
