#pragma once

// Test support: a download-lookup server on a loopback port of the system's
// choosing. It records each request line and answers with the status and
// body it was given, or, when told to, stays silent or sends part of an
// endless body.

#include <QByteArray>
#include <QList>
#include <QTcpServer>

namespace velmora::qr::test {

class LookupServer : public QObject {
    Q_OBJECT
public:
    enum class Answer { Whole, Silent, Endless };

    explicit LookupServer(QObject* parent = nullptr);

    void answerWith(int status, const QByteArray& body, Answer how = Answer::Whole);
    QString lookupUrl() const;         // http://127.0.0.1:<port>/tessaro/…
    QList<QByteArray> requestLines;    // "GET /path?query HTTP/1.1", one per request

Q_SIGNALS:
    void requested();

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    int m_status = 200;
    QByteArray m_body;
    Answer m_how = Answer::Whole;
};

} // namespace velmora::qr::test
