#pragma once
// A tiny HTTP server on 127.0.0.1 for the browser panes: records each request and answers it with a
// stored page, a redirect or a long body written only as fast as the client reads it, or stays silent.
// RefusedBase() gives an address where nobody listens.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

struct RecordedRequest {
    QByteArray method;
    QByteArray target;                      // path and query, "/reklam.asp?id=1"
    QHash<QByteArray, QByteArray> headers;  // names in lower case
};

class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    enum class Mode { Answer, Silent };
    explicit LoopbackHttpServer(Mode mode = Mode::Answer);

    QString base() const;  // "http://127.0.0.1:<port>"
    // What a target answers with; unknown targets get 404.
    void setPage(const QByteArray& target, const QByteArray& body,
                 const QByteArray& contentType = "text/html");
    void setRedirect(const QByteArray& target, const QByteArray& location);
    // A page of bytes bytes of HTML paragraphs, with its length declared; endless when bytes < 0.
    void setStreamed(const QByteArray& target, qint64 bytes);
    const QList<RecordedRequest>& requests() const { return requests_; }
    bool waitForRequests(int count, int timeoutMs = 5000) const;
    bool received(const QByteArray& target) const;

    static QString RefusedBase();

private:
    struct Response {
        QByteArray head;  // status line and headers
        QByteArray body;
        qint64 streamed = 0;  // bytes written after the head as the client reads; < 0: endless
    };
    void readFrom(QTcpSocket* socket);
    void writeStream(QTcpSocket* socket);

    Mode mode_;
    QTcpServer server_;
    QHash<QByteArray, Response> responses_;
    QList<RecordedRequest> requests_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QHash<QTcpSocket*, qint64> streaming_;  // bytes still to write, < 0 for endless
};
