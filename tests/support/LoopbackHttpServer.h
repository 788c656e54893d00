#pragma once
// A tiny HTTP server on 127.0.0.1 for the browser panes: records each request and answers it with a
// stored page, or stays silent. RefusedBase() gives an address where nobody listens.

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
    const QList<RecordedRequest>& requests() const { return requests_; }
    bool waitForRequests(int count, int timeoutMs = 5000) const;
    bool received(const QByteArray& target) const;

    static QString RefusedBase();

private:
    void readFrom(QTcpSocket* socket);

    Mode mode_;
    QTcpServer server_;
    QHash<QByteArray, QPair<QByteArray, QByteArray>> pages_;
    QList<RecordedRequest> requests_;
    QHash<QTcpSocket*, QByteArray> pending_;
};
