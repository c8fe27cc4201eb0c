// The program as installed: a copy in an empty directory starts, listens on
// both phone ports, and ends with exit code 0 when its window is closed,
// writing nothing next to itself. CTest runs it in a network namespace of
// its own (support/own-network.sh): on the machine's own network a copy of
// the program running beside the tests holds the ports, and the probes
// below would meet that copy instead of the one under test.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

class ProgramTest : public QObject {
    Q_OBJECT

private:
    static bool listening(quint16 port)
    {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        return probe.waitForConnected(200);
    }

    static QString copyProgram(const QTemporaryDir& dir)
    {
        const QString copy = dir.filePath(QStringLiteral("velmora-pc"));
        if (!QFile::copy(QStringLiteral(VELMORA_BINARY_DIR "/velmora-pc"), copy))
            return {};
        QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOwner);
        return copy;
    }

    static void start(QProcess& process, const QString& program)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QDir::tempPath());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, {});
    }

    static void closeAndExpectCleanExit(QProcess& process)
    {
        process.terminate(); // the session's request to close the window
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

private Q_SLOTS:
    void startsListensAndExitsCleanly()
    {
        QTemporaryDir dir;
        const QString program = copyProgram(dir);
        QVERIFY(!program.isEmpty());
        QProcess process;
        start(process, program);
        QVERIFY(process.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor([] { return listening(3456) && listening(3455); }, 15000));
        closeAndExpectCleanExit(process);
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{QStringLiteral("velmora-pc")});
    }

    void takenPortIsNotFatal()
    {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::AnyIPv4, 3456));
        QTemporaryDir dir;
        const QString program = copyProgram(dir);
        QProcess process;
        start(process, program);
        QVERIFY(process.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor([] { return listening(3455); }, 15000));
        QCOMPARE(process.state(), QProcess::Running);
        closeAndExpectCleanExit(process);
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "ProgramTest.moc"
