#include "tests/support/LoopbackHttpServer.h"

#include <QTcpSocket>
#include <QTest>

LoopbackHttpServer::LoopbackHttpServer(Mode mode) : mode_(mode) {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { writeStream(socket); });
        }
    });
}

QString LoopbackHttpServer::base() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
}

void LoopbackHttpServer::setPage(const QByteArray& target, const QByteArray& body,
                                 const QByteArray& contentType) {
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: " + contentType +
                            "\r\nContent-Length: " + QByteArray::number(body.size()) +
                            "\r\nConnection: keep-alive\r\n\r\n";
    responses_.insert(target, {head, body, false});
}

void LoopbackHttpServer::setRedirect(const QByteArray& target, const QByteArray& location) {
    const QByteArray head = "HTTP/1.1 302 Found\r\nLocation: " + location +
                            "\r\nContent-Length: 0\r\nConnection: keep-alive\r\n\r\n";
    responses_.insert(target, {head, {}, false});
}

void LoopbackHttpServer::setEndless(const QByteArray& target, qint64 declared) {
    const QByteArray length = declared < 0 ? "" : "Content-Length: " + QByteArray::number(declared) + "\r\n";
    responses_.insert(
        target,
        {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n" + length + "Connection: close\r\n\r\n", {}, true});
}

void LoopbackHttpServer::setSilent(const QByteArray& target) { responses_.insert(target, {}); }

void LoopbackHttpServer::writeStream(QTcpSocket* socket) {
    static const QByteArray chunk = QByteArray("<p>Reklam</p>\n").repeated(4096);
    if (endless_.contains(socket) && socket->bytesToWrite() < chunk.size()) socket->write(chunk);
}

bool LoopbackHttpServer::waitForRequests(int count, int timeoutMs) const {
    return QTest::qWaitFor([&] { return requests_.size() >= count; }, timeoutMs);
}

bool LoopbackHttpServer::received(const QByteArray& target) const {
    for (const RecordedRequest& request : requests_)
        if (request.target == target) return true;
    return false;
}

QString LoopbackHttpServer::RefusedBase() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void LoopbackHttpServer::readFrom(QTcpSocket* socket) {
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    // Requests here carry no body; one ends at the blank line.
    for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.remove(0, end + 4);
        RecordedRequest request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        requests_.append(request);
        if (mode_ == Mode::Silent) continue;

        const auto found = responses_.constFind(request.target);
        if (found == responses_.constEnd()) {
            socket->write(
                "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 8\r\n"
                "Connection: keep-alive\r\n\r\nnot here");
            continue;
        }
        if (found->head.isEmpty()) continue;
        socket->write(found->head + found->body);
        if (found->endless) {
            endless_.insert(socket);
            writeStream(socket);
        }
    }
}
