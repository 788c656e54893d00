#include "platform/controls/WebBrowser.h"

#include "platform/controls/HtmlNesting.h"
#include "platform/controls/WebPage.h"

#include <QDesktopServices>
#include <QFile>
#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPromise>
#include <memory>

namespace platform {

namespace {

// The window parses and lays out a page again when it shows it, so a page may take this long in all:
// well under the 50 ms a window may stall, for the painting after it and a core slower than the worker's.
// Sanitized builds run several times slower and keep showing the same pages.
#ifdef TORV_SANITIZED_BUILD
constexpr qint64 kLayoutBudgetMs = 100;
#else
constexpr qint64 kLayoutBudgetMs = 20;
#endif
// Tables are what makes layout recurse and slow; each nests as three elements (table, row, cell).
constexpr int kMaxTableNesting = WebBrowser::kMaxNesting / 3;

bool IsWeb(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// Where a redirect sends, resolved; empty when the reply is no redirect.
QUrl RedirectTarget(QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl to = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (reply->error() != QNetworkReply::NoError || status < 300 || status >= 400 || to.isEmpty()) return {};
    return reply->url().resolved(to);
}

bool Succeeded(QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
}

}  // namespace

struct WebBrowser::Prepared {
    PageLayout layout;
    QHash<QUrl, QImage> images;  // those that decoded within their limits
};

WebBrowser::WebBrowser(QWidget* parent) : QTextBrowser(parent) {
    setDocument(new PageDocument(this));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameStyle(QFrame::NoFrame);
    deadline_.setSingleShot(true);
    worker_.setMaxThreadCount(1);
    connect(&deadline_, &QTimer::timeout, this, &WebBrowser::deadlinePassed);
    connect(this, &QTextBrowser::anchorClicked, this, &WebBrowser::linkClicked);
}

WebBrowser::~WebBrowser() {
    // Replies finishing during teardown must not reach a half-destroyed pane.
    stopAll();
}

QNetworkAccessManager* WebBrowser::network() {
    // Made for the first web address, so that a pane showing only stored pages opens no socket.
    if (!network_) network_ = new QNetworkAccessManager(this);
    return network_;
}

int WebBrowser::pendingRequests() const {
    int pending = page_ ? 1 : 0;
    for (const PageImage& image : images_)
        if (image.reply) ++pending;
    return pending;
}

QNetworkReply* WebBrowser::get(const QUrl& url, qint64 maxBytes) {
    QNetworkRequest request(url);
    if (flags_ & navNoReadFromCache)
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (flags_ & navNoWriteToCache) {
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setRawHeader("Cache-Control", "no-cache");
        request.setRawHeader("Pragma", "no-cache");
    }
    // Redirects are followed here, not by Qt, which sends a redirected request again on every connection
    // it holds to the host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // The body as sent: Qt would inflate a compressed one before its size could be checked.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = network()->get(request);
    // Qt stops reading from the socket once this much waits, so a body past the limit is never held.
    reply->setReadBufferSize(maxBytes + 1);
    auto checkSize = [reply, maxBytes] {
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (reply->bytesAvailable() > maxBytes || (declared.isValid() && declared.toLongLong() > maxBytes))
            reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, checkSize);
    connect(reply, &QNetworkReply::readyRead, reply, checkSize);
    return reply;
}

void WebBrowser::stopAll() {
    ++generation_;
    deadline_.stop();
    auto drop = [this](QNetworkReply* reply) {
        if (!reply) return;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    };
    drop(page_);
    page_ = nullptr;
    for (const PageImage& image : std::as_const(images_)) drop(image.reply);
    images_.clear();
    html_.clear();
}

void WebBrowser::fail() {
    stopAll();
    document()->clear();
    emit NavigateError();
}

void WebBrowser::Navigate(const QString& url, int flags) {
    stopAll();
    document()->clear();  // with the images of the page before
    flags_ = flags;
    location_ = QUrl(url);
    if (location_.scheme() == QLatin1String("qrc")) {  // a page stored with the program
        QFile file(QLatin1Char(':') + location_.path());
        if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPageBytes) return fail();
        return pageArrived(file.readAll(), location_);
    }
    if (!IsWeb(location_)) return fail();
    deadline_.start(deadlineMs_);
    fetchPage(location_, 0);
}

void WebBrowser::fetchPage(const QUrl& url, int redirects) {
    QNetworkReply* reply = get(url, kMaxPageBytes);
    page_ = reply;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, redirects] { pageFinished(reply, redirects); });
}

void WebBrowser::pageFinished(QNetworkReply* reply, int redirects) {
    reply->deleteLater();
    if (reply != page_) return;
    page_ = nullptr;
    if (const QUrl to = RedirectTarget(reply); !to.isEmpty()) {
        if (!IsWeb(to) || redirects == kMaxRedirects) return fail();
        return fetchPage(to, redirects + 1);
    }
    if (!Succeeded(reply)) return fail();
    pageArrived(reply->readAll(), reply->url());
}

void WebBrowser::pageArrived(const QByteArray& bytes, const QUrl& base) {
    html_ = QString::fromUtf8(bytes);
    base_ = base;
    // Checked before Qt's parser sees the page: it and the layout recurse with the nesting.
    if (HtmlNestingDepth(html_, kMaxNesting) > kMaxNesting) return fail();
    prepare(false);
}

void WebBrowser::prepare(bool withImages) {
    QList<QPair<QUrl, QByteArray>> arrived;
    for (const PageImage& image : std::as_const(images_))
        if (!image.bytes.isEmpty()) arrived.append({image.url, image.bytes});
    auto promise = std::make_shared<QPromise<Prepared>>();
    auto* watcher = new QFutureWatcher<Prepared>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, withImages, generation = generation_] {
                watcher->deleteLater();
                if (generation != generation_) return;
                if (watcher->future().resultCount() > 0)
                    prepared(watcher->future().result(), withImages);
                else
                    fail();  // the page could not be laid out
            });
    watcher->setFuture(promise->future());
    worker_.start([promise, arrived, html = html_, base = base_, font = font(), width = width()] {
        promise->start();
        // Whatever escapes (memory running out on a hostile page) ends the promise with no result: on a pool
        // thread it would end the program.
        try {
            Prepared result;
            for (const auto& [url, bytes] : arrived) {
                const QImage image = DecodeWebImage(bytes, kMaxImagePixels);
                if (!image.isNull()) result.images.insert(url, image);
            }
            result.layout = LayOutPage(html, base, font, width, result.images, kMaxTableNesting);
            promise->addResult(std::move(result));
        } catch (...) {
        }
        promise->finish();
    });
}

void WebBrowser::prepared(const Prepared& result, bool withImages) {
    if (result.layout.tablesTooDeep || result.layout.milliseconds > kLayoutBudgetMs) return fail();
    // Images are fetched only while the page's time lasts (a stored page has none to spend).
    if (!withImages && !result.layout.images.isEmpty() && deadline_.isActive()) {
        for (const QUrl& url : result.layout.images.mid(0, kMaxImages)) images_.append({url, nullptr, {}, 0});
        for (PageImage& image : images_) fetchImage(image, image.url);
        return;
    }
    deadline_.stop();
    FillPage(*document(), html_, base_, result.images);
    emit NavigateComplete();
}

void WebBrowser::fetchImage(PageImage& image, const QUrl& url) {
    QNetworkReply* reply = get(url, kMaxImageBytes);
    image.reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { imageFinished(reply); });
}

void WebBrowser::imageFinished(QNetworkReply* reply) {
    reply->deleteLater();
    for (PageImage& image : images_) {
        if (image.reply != reply) continue;
        image.reply = nullptr;
        if (const QUrl to = RedirectTarget(reply); !to.isEmpty()) {
            if (IsWeb(to) && image.redirects < kMaxRedirects) {
                ++image.redirects;
                return fetchImage(image, to);
            }
        } else if (Succeeded(reply)) {
            image.bytes = reply->readAll();
        }
    }
    // Laid out once, when the last image came or failed, rather than once per image.
    if (pendingRequests() == 0) prepare(true);
}

void WebBrowser::deadlinePassed() {
    if (page_) return fail();
    // The images still on their way are given up; the page shows with those that came.
    for (const PageImage& image : std::as_const(images_))
        if (image.reply) image.reply->abort();
}

QVariant WebBrowser::loadResource(int, const QUrl&) {
    // Only what the pane fetched itself: QTextBrowser would read local files.
    return {};
}

void WebBrowser::linkClicked(const QUrl& link) {
    const QUrl url = document()->baseUrl().resolved(link);
    if (IsWeb(url)) QDesktopServices::openUrl(url);
}

}  // namespace platform
