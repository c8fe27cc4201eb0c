// Memory: the peak resident size while one 100 MiB photo is received, less
// the resident size just before it, as a multiple of the photo's size. Each
// receiver runs in a fresh child process of its own (the peak is per
// process), the phone simulator in another, so the sender's copy of the
// photo is not counted. The baseline is the bare blocking receiver, which
// holds the photo in one growing buffer and writes it out.
//
//   velmora-bench-memory                       run both and print the ratio
//   velmora-bench-memory window|bare PHOTO     (internal) one receive, prints
//                                              "<peak kB> <before kB>"

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

using namespace velmora;

namespace {

constexpr qint64 PHOTO_BYTES = 100 * 1024 * 1024;
const QString NAME = QStringLiteral("大\\照片.jpg");

QStringList senderArguments(quint16 commandPort, quint16 photoPort, const QString& photo)
{
    return bench::simulatorArguments(commandPort, photoPort,
                                     {QStringLiteral("--gap"), QStringLiteral("0"), NAME + QLatin1Char('=') + photo});
}

int receiveInWindow(const QString& photo)
{
    bench::ReceivingWindow receiver;
    if (!receiver.ok())
        return 1;
    QCoreApplication::processEvents();
    const qint64 before = bench::statusKb("VmRSS");
    QProcess sender;
    bench::startSimulator(sender, senderArguments(receiver.commandPort(), receiver.photoPort(), photo));
    const bool whole = receiver.waitForPhotos(1, 60000) == 1 && bench::finishSimulator(sender, 60000)
        && bench::sha256OfFile(receiver.receiveDirectory() + QStringLiteral("大/照片.jpg"))
            == bench::sha256OfFile(photo);
    std::printf("%lld %lld\n", bench::statusKb("VmHWM"), before);
    return whole ? 0 : 1;
}

int receiveBare(const QString& photo)
{
    QTemporaryDir directory;
    bench::BareReceiver bare;
    if (!directory.isValid() || !bare.ok() || !QDir(directory.path()).mkpath(QStringLiteral("大")))
        return 1;
    const qint64 before = bench::statusKb("VmRSS");
    QProcess sender;
    bench::startSimulator(sender, senderArguments(bare.commandPort(), bare.photoPort(), photo));
    const bool whole = bare.receive(directory.path() + QLatin1Char('/'), {NAME}) == 1
        && bench::finishSimulator(sender, 60000);
    std::printf("%lld %lld\n", bench::statusKb("VmHWM"), before);
    return whole ? 0 : 1;
}

// The peak less the size before, in bytes; -1 when the child failed.
qint64 growthInChild(const QString& mode, const QString& photo)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {mode, photo});
    if (!child.waitForFinished(180000) || child.exitCode() != 0)
        return -1;
    const QList<QByteArray> values = child.readAllStandardOutput().trimmed().split(' ');
    if (values.size() != 2)
        return -1;
    return (values[0].toLongLong() - values[1].toLongLong()) * 1024;
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepareApplication();
    if (argc == 3 && std::strcmp(argv[1], "window") == 0) {
        QApplication application(argc, argv);
        return receiveInWindow(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 3 && std::strcmp(argv[1], "bare") == 0) {
        QCoreApplication application(argc, argv);
        return receiveBare(QString::fromLocal8Bit(argv[2]));
    }
    QApplication application(argc, argv);
    const QString photo = bench::cachedJpeg(QStringLiteral("photo-100MiB.jpg"), PHOTO_BYTES);
    if (photo.isEmpty())
        return 1;
    const double size = double(QFileInfo(photo).size());
    const qint64 bare = growthInChild(QStringLiteral("bare"), photo);
    const qint64 window = growthInChild(QStringLiteral("window"), photo);
    if (bare < 0 || window < 0) {
        std::fprintf(stderr, "memory: a receiver failed (bare %lld, window %lld)\n", bare, window);
        return 1;
    }
    std::printf("memory: one photo of %.0f MiB; peak resident growth: bare blocking receiver %.2fx the photo, "
                "Velmora PC %.2fx (target <= 3x), ratio %.2f\n",
                size / (1024 * 1024), bare / size, window / size, bare > 0 ? double(window) / double(bare) : 0.0);
    return 0;
}
