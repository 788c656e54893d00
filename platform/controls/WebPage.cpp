#include "platform/controls/WebPage.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QSet>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextImageFormat>
#include <QTextObjectInterface>
#include <algorithm>
#include <ctime>

namespace platform {

namespace {

bool Fits(QSize size, qint64 maxPixels) {
    return size.isValid() && !size.isEmpty() && qint64(size.width()) * size.height() <= maxPixels;
}

// The time this thread has run, so that a busy machine that keeps it waiting does not count.
qint64 ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool IsWeb(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

int TableNesting(QTextFrame* frame, int depth, int stopAbove) {
    int deepest = depth;
    for (QTextFrame* child : frame->childFrames()) {
        if (deepest > stopAbove) break;
        deepest = std::max(deepest, TableNesting(child, depth + 1, stopAbove));
    }
    return deepest;
}

QImage StoredImage(QTextDocument* document, const QTextFormat& format) {
    return document->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()))
        .value<QImage>();
}

// Draws a page's images from the document's resources alone: Qt's own handler reads an image that the
// resources lack from a local file of that name, and looks for "@2x" files beside it.
class StoredImageHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument* document, int, const QTextFormat& format) override {
        const QTextImageFormat wanted = format.toImageFormat();
        const QSizeF size = StoredImage(document, format).size();
        const bool width = wanted.hasProperty(QTextFormat::ImageWidth);
        const bool height = wanted.hasProperty(QTextFormat::ImageHeight);
        if (width && height) return {wanted.width(), wanted.height()};
        if (size.isEmpty()) return {width ? wanted.width() : 0, height ? wanted.height() : 0};
        if (width) return {wanted.width(), wanted.width() * size.height() / size.width()};
        if (height) return {wanted.height() * size.width() / size.height(), wanted.height()};
        return size;
    }
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int,
                    const QTextFormat& format) override {
        const QImage image = StoredImage(document, format);
        if (!image.isNull()) painter->drawImage(rect, image);
    }
};

}  // namespace

PageDocument::PageDocument(QObject* parent) : QTextDocument(parent) {
    documentLayout()->registerHandler(QTextFormat::ImageObject, new StoredImageHandler(this));
}

QImage DecodeWebImage(const QByteArray& bytes, qint64 maxPixels) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg" && format != "gif") return {};
    if (!Fits(reader.size(), maxPixels)) return {};
    QImage image = reader.read();
    return Fits(image.size(), maxPixels) ? image : QImage();
}

void FillPage(QTextDocument& document, const QString& html, const QUrl& base,
              const QHash<QUrl, QImage>& images) {
    document.setBaseUrl(base);
    for (auto it = images.constBegin(); it != images.constEnd(); ++it)
        document.addResource(QTextDocument::ImageResource, it.key(), it.value());
    document.setHtml(html);
}

PageLayout LayOutPage(const QString& html, const QUrl& base, const QFont& font, int width,
                      const QHash<QUrl, QImage>& images, int maxTableNesting) {
    PageLayout result;
    const qint64 start = ThreadCpuMs();
    PageDocument document;
    document.setDefaultFont(font);
    FillPage(document, html, base, images);
    if (TableNesting(document.rootFrame(), 0, maxTableNesting) > maxTableNesting) {
        result.tablesTooDeep = true;
        return result;
    }
    QSet<QUrl> seen;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat()) continue;
            const QUrl url = base.resolved(QUrl(format.toImageFormat().name()));
            if (IsWeb(url) && !seen.contains(url)) {
                seen.insert(url);
                result.images.append(url);
            }
        }
    document.setTextWidth(width);
    document.documentLayout()->documentSize();  // lays out the whole page
    result.milliseconds = ThreadCpuMs() - start;
    return result;
}

}  // namespace platform

#include "WebPage.moc"
