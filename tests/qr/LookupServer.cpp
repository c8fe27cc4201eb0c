#include "LookupServer.h"

#include <QTcpSocket>

#include <memory>

namespace velmora::qr::test {

LookupServer::LookupServer(QObject* parent) : QObject(parent)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

void LookupServer::answerWith(int status, const QByteArray& body, Answer how)
{
    m_status = status;
    m_body = body;
    m_how = how;
}

QString LookupServer::lookupUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/tessaro/huoquxzdz.asp?caozuo=xiazhai&rjming=Velmora")
        .arg(m_server.serverPort());
}

void LookupServer::serve(QTcpSocket* socket)
{
    socket->setParent(this);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
        *buffer += socket->readAll();
        const qsizetype end = buffer->indexOf("\r\n\r\n");
        if (end < 0)
            return;
        requestLines << buffer->left(buffer->indexOf("\r\n"));
        buffer->clear();
        // The answer is the one set when the request came; a test may set
        // the next one from requested().
        const Answer how = m_how;
        const QByteArray length = how == Answer::Endless ? QByteArray("100000")
                                                         : QByteArray::number(m_body.size());
        const QByteArray response = "HTTP/1.1 " + QByteArray::number(m_status)
            + " X\r\nContent-Type: text/plain\r\nContent-Length: " + length
            + "\r\nConnection: close\r\n\r\n" + m_body;
        Q_EMIT requested();
        if (how == Answer::Silent)
            return;
        socket->write(response);
        if (how == Answer::Whole)
            socket->disconnectFromHost();
    });
}

} // namespace velmora::qr::test
