// Memory: the peak resident size while one 100 MiB photo is received, less
// the resident size just before it, as a multiple of the photo's size. Each
// receiver runs in a fresh child process of its own (the peak is per
// process), the phone simulator in another, so the sender's copy of the
// photo is not counted. The baseline is the bare blocking receiver, which
// holds the photo in one growing buffer and writes it out.
//
//
// Memory while photos wait for a slow disk: one 40 MB photo, then 85 of
// 3 MB sent at full speed while the receive folder takes only 10 MB/s (the
// slow-disk play of the file-write seam). Photos in memory are bounded at
// 256 MiB besides the one the window shows; the figure is the growth of the window process's
// committed memory (its data segment, VmData, sampled every 20 ms), not
// resident memory: memory the heap has committed counts whether or not it
// was touched. Target: under 256 MiB plus one photo (the 40 MB one).
//
//   velmora-bench-memory                       run both and print the ratios
//   velmora-bench-memory waiting               the slow-disk receive only
//   velmora-bench-memory window|bare PHOTO     (internal) one receive, prints
//                                              "<peak kB> <before kB>"
//   velmora-bench-memory waiting FOLDER        (internal) the slow-disk
//                                              receive, prints "<peak
//                                              committed kB> <before kB>
//                                              <photos whole>"

#include "bench/BenchSupport.h"
#include "platform/Files.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
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

constexpr qint64 LARGE_BYTES = 40'000'000;
constexpr qint64 SMALL_BYTES = 3'000'000;
constexpr int SMALL_PHOTOS = 85;
constexpr std::uint64_t DISK_RATE = 10'000'000; // bytes per second
constexpr qint64 WAITING_BOUND = qint64{256} * 1024 * 1024;

// The large photo first, then the small ones, each with bytes of its own.
QList<bench::PhonePhoto> waitingPhotos(const QString& folder)
{
    const auto named = [](int i) { return QStringLiteral("等盘/学生%1.jpg").arg(i, 2, 10, QLatin1Char('0')); };
    QList<bench::PhonePhoto> photos = bench::writePhonePhotos(
        folder, {bench::cachedJpegBytes(QStringLiteral("photo-40MB.jpg"), LARGE_BYTES)}, 1, named,
        "large waiting photo");
    photos += bench::writePhonePhotos(folder, {bench::cachedJpegBytes(QStringLiteral("photo-3MB.jpg"), SMALL_BYTES)},
                                      SMALL_PHOTOS, [&](int i) { return named(i + 1); }, "small waiting photo");
    return photos;
}

int receiveWaiting(const QString& folder)
{
    const QList<bench::PhonePhoto> photos = waitingPhotos(folder);
    bench::ReceivingWindow receiver;
    if (photos.size() != SMALL_PHOTOS + 1 || !receiver.ok())
        return 1;
    QCoreApplication::processEvents();
    const qint64 before = bench::statusKb("VmData");
    qint64 peak = before;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&peak] { peak = std::max(peak, bench::statusKb("VmData")); });
    sample.start(20);
    platform::setWriteRateLimit(DISK_RATE);
    QProcess sender;
    bench::startSimulator(sender, bench::simulatorArguments(
        receiver.commandPort(), receiver.photoPort(),
        {QStringLiteral("--gap"), QStringLiteral("0"), QStringLiteral("--timeout"), QStringLiteral("120"),
         QStringLiteral("--dir"), folder}));
    receiver.waitForPhotos(photos.size(), 60000);
    bench::finishSimulator(sender, 60000);
    platform::setWriteRateLimit(0);
    std::printf("%lld %lld %d\n", peak, before, bench::countWhole(receiver.receiveDirectory(), photos));
    return 0;
}

// The child's figures, or nothing when it failed.
QList<qint64> figuresOfChild(const QString& mode, const QString& argument)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {mode, argument});
    if (!child.waitForFinished(300000) || child.exitCode() != 0)
        return {};
    QList<qint64> figures;
    for (const QByteArray& value : child.readAllStandardOutput().trimmed().split(' '))
        figures.append(value.toLongLong());
    return figures;
}

// The peak less the size before, in bytes; -1 when the child failed.
qint64 growthInChild(const QString& mode, const QString& photo)
{
    const QList<qint64> figures = figuresOfChild(mode, photo);
    return figures.size() == 2 ? (figures[0] - figures[1]) * 1024 : -1;
}

int reportWaiting()
{
    const QList<qint64> figures
        = figuresOfChild(QStringLiteral("waiting"), bench::dataDirectory() + QStringLiteral("/waiting-phone"));
    if (figures.size() != 3) {
        std::fprintf(stderr, "memory: the slow-disk receive failed\n");
        return 1;
    }
    const double growth = double(figures[0] - figures[1]) * 1024;
    const double bound = double(WAITING_BOUND + LARGE_BYTES);
    std::printf("memory: one %lld MB photo, then %d of %lld MB onto a %.0f MB/s disk: %lld of %d stored whole; "
                "peak committed growth %.0f MiB (target < 256 MiB + one photo = %.0f MiB), ratio %.2f\n",
                LARGE_BYTES / 1'000'000, SMALL_PHOTOS, SMALL_BYTES / 1'000'000, DISK_RATE / 1e6, figures[2],
                SMALL_PHOTOS + 1, growth / (1024 * 1024), bound / (1024 * 1024), growth / bound);
    return figures[2] == SMALL_PHOTOS + 1 ? 0 : 1;
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
    if (argc == 3 && std::strcmp(argv[1], "waiting") == 0) {
        QApplication application(argc, argv);
        return receiveWaiting(QString::fromLocal8Bit(argv[2]));
    }
    QApplication application(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "waiting") == 0)
        return reportWaiting();
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
    return reportWaiting();
}
