#include "link/TcpServer.h"

namespace velmora::link {

TcpServer::TcpServer(QObject* parent) : QObject(parent) {}
TcpServer::~TcpServer() = default;
void TcpServer::setPort(quint16 port) { m_port = port; }
bool TcpServer::listen() { return false; }
quint16 TcpServer::serverPort() const { return 0; }
bool TcpServer::send(const QString&, const QByteArray&) { return false; }
bool TcpServer::isConnected(const QString&) const { return false; }
void TcpServer::deliverPiece(const QString&, const QByteArray&) {}

} // namespace velmora::link
