#pragma once
// The work on a fetched page that may take long, done away from the window's thread by the browser pane:
// decoding the page's images within their limits, and timing how long Qt takes to parse and lay the page
// out, so that the window itself only lays out pages known to be quick. Nothing here is a QObject that
// crosses threads: the results are plain values.

#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QTextDocument>
#include <QUrl>

namespace platform {

// A document that gets resources only from what was added to it, and draws its images only from them:
// QTextDocument and Qt's image handler would otherwise read local files for the images and style sheets a
// page names.
class PageDocument : public QTextDocument {
public:
    explicit PageDocument(QObject* parent = nullptr);

protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

// An image from a server: a PNG, JPEG or GIF of at most maxPixels, decoded; anything else a null image.
// The size is checked before decoding, since the picture loader raises Qt's process-wide allocation limit
// for large photos, and again after it.
QImage DecodeWebImage(const QByteArray& bytes, qint64 maxPixels);

struct PageLayout {
    bool tablesTooDeep = false;  // not laid out at all: tables nest deeper than allowed
    QList<QUrl> images;          // the page's web images, resolved, in page order, each once
    qint64 milliseconds = 0;     // parsing and laying out the whole page, in this thread's CPU time
};

// Parses html as the pane would, with images as its pictures, and lays it out at width in font; reads no
// other resource. A table nesting more than maxTableNesting deep is refused before layout.
PageLayout LayOutPage(const QString& html, const QUrl& base, const QFont& font, int width,
                      const QHash<QUrl, QImage>& images, int maxTableNesting);

// Puts html with images into document, as LayOutPage did.
void FillPage(QTextDocument& document, const QString& html, const QUrl& base,
              const QHash<QUrl, QImage>& images);

}  // namespace platform
