#pragma once
// What the libraries under the decoders say on their own (Qt and its image plugins through Qt's message
// handler, libtiff through its warning and error handlers), taken on the thread that works on a picture
// so that it goes on that picture's line rather than reaching a terminal with no name beside it.

#include <QString>
#include <QStringList>

namespace core {

class LibraryMessages {
public:
    // Collects what the libraries say on this thread from here until destroyed; an inner collector takes
    // them while it lives. Elsewhere they go where they went before, libtiff's marked as its own.
    LibraryMessages();
    ~LibraryMessages();
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;

    // What was said, each message once, the first few of them; empty when nothing.
    QString Text() const;

    void Add(const QString& message);

private:
    QStringList messages_;
    int more_ = 0;
    LibraryMessages* outer_;
};

}  // namespace core
