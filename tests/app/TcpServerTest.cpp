// The phone servers over real loopback sockets: events on the GUI thread, in
// order, one connection told from another, sends reaching the right phone,
// and bounded memory when the program falls behind.

#include "link/TcpServer.h"

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <atomic>
#include <memory>
#include <chrono>
#include <thread>
#include <vector>

using velmora::link::TcpServer;

class TcpServerTest : public QObject {
    Q_OBJECT

private:
    struct Event {
        QString kind;
        QString client;
        QByteArray bytes;
        bool onGuiThread;
    };

    static void record(TcpServer& server, QList<Event>& events)
    {
        QObject::connect(&server, &TcpServer::clientConnected, &server, [&events](const QString& c) {
            events.append({QStringLiteral("connected"), c, {}, QThread::currentThread() == qApp->thread()});
        });
        QObject::connect(&server, &TcpServer::dataArrived, &server,
                         [&events](const QString& c, const QByteArray& b) {
            events.append({QStringLiteral("data"), c, b, QThread::currentThread() == qApp->thread()});
        });
    }

    static std::unique_ptr<QTcpSocket> connectTo(const TcpServer& server)
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server.serverPort());
        if (!socket->waitForConnected(5000))
            return nullptr;
        return socket;
    }

    // Waits for `done` without handling any event of this thread, so nothing
    // handed to it is consumed meanwhile.
    static bool waitWithoutEvents(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Bytes `socket` wrote that the system has not yet handed to the other
    // end (Linux: its send queue).
    static int unsent(const QTcpSocket& socket)
    {
        int queued = -1;
        ioctl(static_cast<int>(socket.socketDescriptor()), SIOCOUTQ, &queued);
        return queued;
    }

    static bool waitFor(const std::function<bool()>& done)
    {
        return QTest::qWaitFor(done, 10000);
    }

    // A listening server on a free port whose events go to m_events.
    std::unique_ptr<TcpServer> m_server;
    QList<Event> m_events;

private Q_SLOTS:
    void init()
    {
        m_events.clear();
        m_server = std::make_unique<TcpServer>();
        m_server->setPort(0);
        QVERIFY(m_server->listen());
        record(*m_server, m_events);
    }

    void cleanup() { m_server.reset(); }

    void piecesArriveInOrderOnTheGuiThread()
    {
        TcpServer& server = *m_server;
        QList<Event>& events = m_events;
        auto phone = connectTo(server);
        QVERIFY(phone);
        const QList<QByteArray> pieces = {"ST", "AT||a", QByteArray("\x02\x02\x02\x02", 4), "x"};
        int received = 0;
        for (const QByteArray& piece : pieces) {
            phone->write(piece);
            phone->flush();
            // Each write is read on its own before the next is made.
            QVERIFY(waitFor([&] { return events.size() == 1 + received + 1; }));
            ++received;
        }
        QCOMPARE(events.first().kind, QStringLiteral("connected"));
        const QString client = events.first().client;
        QVERIFY(client.startsWith(QStringLiteral("127.0.0.1:")));
        for (int i = 0; i < pieces.size(); ++i) {
            QCOMPARE(events[i + 1].kind, QStringLiteral("data"));
            QCOMPARE(events[i + 1].client, client);
            QCOMPARE(events[i + 1].bytes, pieces[i]);
        }
        for (const Event& event : events)
            QVERIFY(event.onGuiThread);
    }

    void sendReachesTheNamedClientOnly()
    {
        TcpServer& server = *m_server;
        QList<Event>& events = m_events;
        auto first = connectTo(server);
        QVERIFY(waitFor([&] { return events.size() == 1; }));
        auto second = connectTo(server);
        QVERIFY(waitFor([&] { return events.size() == 2; }));
        QVERIFY(events[0].client != events[1].client);

        first->write("from first");
        QVERIFY(waitFor([&] { return events.size() == 3; }));
        second->write("from second");
        QVERIFY(waitFor([&] { return events.size() == 4; }));
        QCOMPARE(events[2].client, events[0].client);
        QCOMPARE(events[3].client, events[1].client);

        QVERIFY(server.send(events[1].client, "STAT||x||END"));
        QVERIFY(second->waitForReadyRead(5000));
        QCOMPARE(second->readAll(), QByteArray("STAT||x||END"));
        QVERIFY(!first->waitForReadyRead(200));
    }

    void closedConnectionIsNoLongerConnected()
    {
        TcpServer& server = *m_server;
        QList<Event>& events = m_events;
        auto phone = connectTo(server);
        QVERIFY(waitFor([&] { return events.size() == 1; }));
        const QString client = events[0].client;
        QVERIFY(server.isConnected(client));
        phone->write("last words");
        phone->disconnectFromHost();
        QVERIFY(waitFor([&] { return !server.isConnected(client); }));
        // What came before the close is still delivered, and no event marks
        // the close itself.
        QVERIFY(waitFor([&] { return events.size() == 2; }));
        QCOMPARE(events[1].bytes, QByteArray("last words"));
        QVERIFY(!server.send(client, "lost"));
        QVERIFY(!server.isConnected(QStringLiteral("10.0.0.1:1")));
    }

    // A device on the LAN that opens connections without end must not make
    // the PC hold a read buffer for each: beyond the limit they are closed,
    // and the phones already connected are served as before.
    void connectionsBeyondTheLimitAreRefused()
    {
        TcpServer& server = *m_server;
        QList<Event>& events = m_events;
        std::vector<std::unique_ptr<QTcpSocket>> phones;
        for (int i = 0; i < TcpServer::CONNECTION_LIMIT; ++i) {
            phones.push_back(connectTo(server));
            QVERIFY(phones.back());
        }
        QVERIFY(waitFor([&] { return events.size() == TcpServer::CONNECTION_LIMIT; }));
        std::vector<std::unique_ptr<QTcpSocket>> extra;
        for (int i = 0; i < 3; ++i) {
            extra.push_back(connectTo(server));
            QVERIFY(extra.back());
        }
        for (auto& socket : extra) {
            QVERIFY(waitFor([&] { return socket->state() == QAbstractSocket::UnconnectedState; }));
        }
        QCOMPARE(events.size(), TcpServer::CONNECTION_LIMIT);
        phones.front()->write("still served");
        QVERIFY(waitFor([&] { return events.size() == TcpServer::CONNECTION_LIMIT + 1; }));
        QCOMPARE(events.last().bytes, QByteArray("still served"));
        // Once one has gone, a new phone is taken again.
        const QString gone = events.first().client;
        phones.front()->disconnectFromHost();
        QVERIFY(waitFor([&] { return !server.isConnected(gone); }));
        auto late = connectTo(server);
        QVERIFY(late);
        QVERIFY(waitFor([&] { return events.size() == TcpServer::CONNECTION_LIMIT + 2; }));
        QCOMPARE(events.last().kind, QStringLiteral("connected"));
    }

    void takenPortIsReported()
    {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::AnyIPv4, 0));
        TcpServer server;
        server.setPort(other.serverPort());
        QVERIFY(!server.listen());
        QCOMPARE(server.serverPort(), quint16(0));
    }

    void slowHandlerLosesNothing()
    {
        // 96 MiB against a handler that takes its time: every byte arrives in
        // order, and the bytes waiting for the GUI thread stay bounded.
        TcpServer& server = *m_server;
        QCryptographicHash received(QCryptographicHash::Sha256);
        qint64 total = 0;
        connect(&server, &TcpServer::dataArrived, this, [&](const QString&, const QByteArray& b) {
            received.addData(b);
            total += b.size();
            QThread::usleep(200);
        });
        // The phone writes from a thread of its own, as a real phone would not
        // wait for this process's GUI thread.
        QCryptographicHash sent(QCryptographicHash::Sha256);
        constexpr int BLOCKS = 96;
        constexpr int BLOCK = 1024 * 1024;
        const quint16 port = server.serverPort();
        std::atomic<bool> sentAll = false;
        std::thread phone([&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (!socket.waitForConnected(5000))
                return;
            QByteArray block(BLOCK, Qt::Uninitialized);
            for (int i = 0; i < BLOCKS; ++i) {
                for (int j = 0; j < BLOCK; ++j)
                    block[j] = static_cast<char>((i * 31 + j * 7) & 0xFF);
                sent.addData(block);
                socket.write(block);
                while (socket.bytesToWrite() > 0)
                    socket.waitForBytesWritten(30000);
            }
            socket.disconnectFromHost();
            sentAll = true;
        });
        const bool complete = QTest::qWaitFor([&] { return total == qint64(BLOCKS) * BLOCK; }, 120000);
        phone.join();
        QVERIFY(sentAll);
        QVERIFY(complete);
        QCOMPARE(received.result(), sent.result());
    }

    // A name message that reaches the PC while the photo connection's
    // reading is held back (the window behind by more than the in-flight
    // limit) must not be handed over before the photo bytes that reached the
    // PC ahead of it: the photo would take the next photo's name.
    void earlierServerIsReadFirst()
    {
        TcpServer photos;
        TcpServer commands(&photos);
        photos.setPort(0);
        commands.setPort(0);
        QVERIFY(photos.listen() && commands.listen());
        qint64 photoBytes = 0;
        qint64 photoBytesBeforeName = -1;
        connect(&photos, &TcpServer::dataArrived, this, [&](const QString&, const QByteArray& b) {
            photoBytes += b.size();
        });
        connect(&commands, &TcpServer::dataArrived, this, [&](const QString&, const QByteArray&) {
            photoBytesBeforeName = photoBytes;
        });
        auto photoPhone = connectTo(photos);
        auto commandPhone = connectTo(commands);
        QVERIFY(photoPhone && commandPhone);
        // Nothing is handed over while this thread writes: the servers stop
        // reading at the limit and the rest waits in the system.
        const qint64 photoSize = TcpServer::IN_FLIGHT_LIMIT + 1024 * 1024;
        photoPhone->write(QByteArray(photoSize, '\x55'));
        while (photoPhone->bytesToWrite() > 0)
            QVERIFY(photoPhone->waitForBytesWritten(10000));
        QVERIFY(waitWithoutEvents([&] {
            return photos.bytesWaiting() >= TcpServer::IN_FLIGHT_LIMIT && unsent(*photoPhone) == 0;
        }));
        commandPhone->write("STAT||next.jpg");
        QVERIFY(commandPhone->waitForBytesWritten(10000));
        QVERIFY(waitFor([&] { return photoBytes == photoSize && photoBytesBeforeName >= 0; }));
        QVERIFY(photoBytesBeforeName > TcpServer::IN_FLIGHT_LIMIT);
    }

    // The server read first may go first; the later one then reads alone.
    void earlierServerMayBeDestroyedFirst()
    {
        auto photos = std::make_unique<TcpServer>();
        TcpServer commands(photos.get());
        photos.reset();
        commands.setPort(0);
        QVERIFY(commands.listen());
        QList<Event> events;
        record(commands, events);
        auto phone = connectTo(commands);
        QVERIFY(phone);
        phone->write("STAT||a.jpg");
        QVERIFY(waitFor([&] { return events.size() == 2; }));
        QCOMPARE(events.last().bytes, QByteArray("STAT||a.jpg"));
    }
};

QTEST_MAIN(TcpServerTest)
#include "TcpServerTest.moc"
