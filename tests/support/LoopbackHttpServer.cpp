#include "tests/support/LoopbackHttpServer.h"

#include <QTcpSocket>
#include <QTest>

LoopbackHttpServer::LoopbackHttpServer(Mode mode) : mode_(mode) {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        }
    });
}

QString LoopbackHttpServer::base() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
}

void LoopbackHttpServer::setPage(const QByteArray& target, const QByteArray& body,
                                 const QByteArray& contentType) {
    pages_.insert(target, {body, contentType});
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

        const auto page = pages_.constFind(request.target);
        const bool found = page != pages_.constEnd();
        const QByteArray body = found ? page->first : QByteArray("not here");
        QByteArray answer = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
        answer += "Content-Type: " + (found ? page->second : QByteArray("text/plain")) + "\r\n";
        answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        answer += "Connection: keep-alive\r\n\r\n" + body;
        socket->write(answer);
    }
}
