#pragma once
// A tiny HTTP server on 127.0.0.1 for the browser panes: records each request and answers it with a
// stored page, a redirect or a body without end (written as fast as the client reads), or stays silent.
// RefusedBase() gives an address where nobody listens.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
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
    // Paragraphs without end, whatever length the header declares (none when declared < 0).
    void setEndless(const QByteArray& target, qint64 declared = -1);
    void setSilent(const QByteArray& target);  // never answered
    const QList<RecordedRequest>& requests() const { return requests_; }
    bool waitForRequests(int count, int timeoutMs = 5000) const;
    bool received(const QByteArray& target) const;

    static QString RefusedBase();

private:
    struct Response {
        QByteArray head;  // status line and headers; none: no answer
        QByteArray body;
        bool endless = false;
    };
    void readFrom(QTcpSocket* socket);
    void writeStream(QTcpSocket* socket);

    Mode mode_;
    QTcpServer server_;
    QHash<QByteArray, Response> responses_;
    QList<RecordedRequest> requests_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QSet<QTcpSocket*> endless_;
};
