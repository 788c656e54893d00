#include "core/library_messages.h"

#include <dlfcn.h>
#include <QtGlobal>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace core {

namespace {

constexpr int kMostMessages = 3;

thread_local LibraryMessages* collecting = nullptr;

QtMessageHandler qtHandler = nullptr;

void FromQt(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (collecting && type != QtFatalMsg) {
        // Complaints of a reader's own buffer (a seek past its end) only echo what the library says of
        // the file.
        if (!message.startsWith(QLatin1String("QBuffer::")) &&
            !message.startsWith(QLatin1String("QIODevice::")))
            collecting->Add(message);
        return;
    }
    if (qtHandler) qtHandler(type, context, message);
}

// libtiff's handler type, as tiffio.h declares it; the library is Qt's plugin's, found at run time.
using TiffHandler = void (*)(const char* module, const char* format, va_list arguments);
using SetTiffHandler = TiffHandler (*)(TiffHandler);

// Qt's plugin names every TIFF it opens "foo": no name at all to a reader.
QString WithoutQtsTiffName(QString text) {
    if (text == QLatin1String("foo")) return {};
    if (text.startsWith(QLatin1String("foo: "))) text.remove(0, 5);
    return text;
}

void FromTiff(const char* module, const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    const QString from = WithoutQtsTiffName(QString::fromUtf8(module ? module : ""));
    const QString said = WithoutQtsTiffName(QString::fromUtf8(text));
    const QString message = from.isEmpty() ? QStringLiteral("libtiff: %1").arg(said)
                                           : QStringLiteral("libtiff: %1: %2").arg(from, said);
    if (collecting) return collecting->Add(message);
    std::fprintf(stderr, "%s\n", message.toUtf8().constData());
}

void Listen() {
    qtHandler = qInstallMessageHandler(FromQt);
    // Loaded now if it is there at all, so that its handlers are ours before a plugin first calls it.
    if (void* tiff = ::dlopen("libtiff.so.6", RTLD_LAZY | RTLD_GLOBAL)) {
        for (const char* name : {"TIFFSetWarningHandler", "TIFFSetErrorHandler"})
            if (const auto set = reinterpret_cast<SetTiffHandler>(::dlsym(tiff, name))) set(FromTiff);
    }
}

}  // namespace

LibraryMessages::LibraryMessages() : outer_(collecting) {
    static std::once_flag listening;
    std::call_once(listening, Listen);
    collecting = this;
}

LibraryMessages::~LibraryMessages() { collecting = outer_; }

void LibraryMessages::Add(const QString& message) {
    const QString said = message.trimmed();
    if (said.isEmpty() || messages_.contains(said)) return;
    if (messages_.size() < kMostMessages)
        messages_ << said;
    else
        ++more_;
}

QString LibraryMessages::Text() const {
    QString text = messages_.join(QStringLiteral("; "));
    if (more_ > 0) text += QStringLiteral(" (and %1 more)").arg(more_);
    return text;
}

}  // namespace core
