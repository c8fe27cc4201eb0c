// Marker loss: 1000 photos sent by the phone simulator with no pause at all
// (each end marker right behind its photo, each name right behind the last
// marker), counted whole by hash under their own names, while the GUI thread
// is kept busy by a timer that blocks it for BUSY_MS every BUSY_MS. The
// baseline is the same run with the GUI thread idle.

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <cstdio>

using namespace velmora;

namespace {

constexpr int PHOTOS = 1000;
constexpr int BUSY_MS = 4;

using bench::PhonePhoto;

// The photos, each with bytes of its own (a tagged copy of one JPEG), in
// class folders as the phone names them; made once.
QList<PhonePhoto> phonePhotos(const QString& folder)
{
    return bench::writePhonePhotos(folder, {bench::cachedJpegBytes(QStringLiteral("photo-100KiB.jpg"), 100 * 1024)},
                                   PHOTOS, [](int i) {
        return QStringLiteral("班%1/学生%2.jpg").arg(i % 5 + 1).arg(i, 4, 10, QLatin1Char('0'));
    }, "photo");
}

struct Outcome {
    int whole = 0;
    std::uint64_t counted = 0;
};

Outcome run(const QString& folder, const QList<PhonePhoto>& photos, bool busy, int gapMs)
{
    Outcome outcome;
    bench::ReceivingWindow receiver;
    if (!receiver.ok())
        return outcome;
    QTimer blocker;
    blocker.setInterval(BUSY_MS);
    QObject::connect(&blocker, &QTimer::timeout, [] { QThread::msleep(BUSY_MS); });
    if (busy)
        blocker.start();
    QProcess sender;
    bench::startSimulator(sender, bench::simulatorArguments(receiver.commandPort(), receiver.photoPort(),
                                                            {QStringLiteral("--gap"), QString::number(gapMs),
                                                             QStringLiteral("--dir"), folder}));
    outcome.counted = receiver.waitForPhotos(PHOTOS, 10000);
    bench::finishSimulator(sender, 120000);
    outcome.counted = receiver.waitForPhotos(PHOTOS, 2000);
    blocker.stop();
    outcome.whole = bench::countWhole(receiver.receiveDirectory(), photos);
    return outcome;
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepareApplication();
    QApplication application(argc, argv);
    const QString folder = bench::dataDirectory() + QStringLiteral("/marker-photos");
    const QList<PhonePhoto> photos = phonePhotos(folder);
    if (photos.size() != PHOTOS) {
        std::fprintf(stderr, "cannot write the test photos into %s\n", qPrintable(folder));
        return 1;
    }
    const Outcome idle = run(folder, photos, false, 0);
    const Outcome busy = run(folder, photos, true, 0);
    // The same with the phone pausing 2 ms after each name and each photo.
    const Outcome paced = run(folder, photos, true, 2);
    std::printf("marker loss: %d photos of about 100 KiB with no pause; whole under their own name: GUI thread "
                "idle %d (%llu counted), GUI thread blocked %d ms of every %d ms %d (%llu counted), ratio %.3f\n",
                PHOTOS, idle.whole, static_cast<unsigned long long>(idle.counted), BUSY_MS, 2 * BUSY_MS,
                busy.whole, static_cast<unsigned long long>(busy.counted),
                idle.whole > 0 ? double(busy.whole) / idle.whole : 0.0);
    std::printf("marker loss, phone pausing 2 ms after each name and photo, GUI thread busy: %d whole "
                "(%llu counted)\n", paced.whole, static_cast<unsigned long long>(paced.counted));
    return 0;
}
