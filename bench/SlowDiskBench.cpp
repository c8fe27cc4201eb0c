// Window on a slow disk: 50 photos of 4 MB sent at full speed while the
// receive folder takes writes at only 10 MB/s (a USB 2.0 stick, an SD card,
// a school's network share), played through the file-write seam. A timer on
// the window thread ticks every 2 ms; the gaps between its ticks are how
// long the window could not answer a click. The baseline is the same timer
// with the window idle, in the same run.

#include "bench/BenchSupport.h"
#include "link/PhoneLink.h"
#include "platform/Files.h"
#include "widgets/CrlfTextEdit.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <vector>

using namespace velmora;

namespace {

constexpr int PHOTOS = 50;
constexpr qint64 PHOTO_BYTES = 4'000'000;
constexpr std::uint64_t DISK_RATE = 10'000'000; // bytes per second
constexpr int TICK_MS = 2;

// The photos, each with bytes of its own, in one class folder; made once.
QList<bench::PhonePhoto> phonePhotos(const QString& folder)
{
    return bench::writePhonePhotos(folder, {bench::cachedJpegBytes(QStringLiteral("photo-4MB.jpg"), PHOTO_BYTES)},
                                   PHOTOS, [](int i) {
        return QStringLiteral("慢盘/学生%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
    }, "slow disk photo");
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepareApplication();
    QApplication application(argc, argv);
    const QString folder = bench::dataDirectory() + QStringLiteral("/slow-disk-phone");
    const QList<bench::PhonePhoto> photos = phonePhotos(folder);
    bench::ReceivingWindow receiver;
    if (photos.size() != PHOTOS || !receiver.ok()) {
        std::fprintf(stderr, "slow disk: cannot prepare the photos or the window\n");
        return 1;
    }
    const std::vector<double> idle = bench::tickGaps(TICK_MS, [] { return false; }, 3000);

    platform::setWriteRateLimit(DISK_RATE);
    QProcess simulator;
    bench::startSimulator(simulator, bench::simulatorArguments(
        receiver.commandPort(), receiver.photoPort(),
        {QStringLiteral("--gap"), QStringLiteral("0"), QStringLiteral("--timeout"), QStringLiteral("120"),
         QStringLiteral("--listen"), QStringLiteral("300"),
         QStringLiteral("--dir"), folder}));
    auto* send = receiver.window().findChild<QPushButton*>(QStringLiteral("按钮1"));
    std::vector<double> windowMs;
    QObject::connect(&receiver.phoneLink(), &link::PhoneLink::photoShown,
                     [&](const link::PhoneLink::PhotoTimes& times) { windowMs.push_back(times.windowTime / 1e6); });
    // Staff click 传名册到手机 now and then while photos pour in; the phone
    // stays connected to take the rosters.
    receiver.window().findChild<widgets::CrlfTextEdit*>(QStringLiteral("编辑框2"))
        ->setCrlfText(QStringLiteral("3301010001\t张三\t\t01\r\n"));
    QTimer clicks;
    QObject::connect(&clicks, &QTimer::timeout, send, &QPushButton::click);
    // Once the phone is in: with no phone the click only shows a message.
    QObject::connect(&receiver.phoneLink(), &link::PhoneLink::photoShown, &clicks, [&clicks] {
        if (!clicks.isActive())
            clicks.start(1000);
    });
    QElapsedTimer elapsed;
    elapsed.start();
    const std::vector<double> busy =
        bench::tickGaps(TICK_MS, [&] { return receiver.photoCount() >= PHOTOS; }, 120000);
    const double seconds = elapsed.elapsed() / 1000.0;
    clicks.stop();
    simulator.kill(); // it stays to take the rosters
    simulator.waitForFinished(10000);
    platform::setWriteRateLimit(0);

    const int whole = bench::countWhole(receiver.receiveDirectory(), photos);
    const double idleP99 = bench::percentile(idle, 0.99);
    const double busyP99 = bench::percentile(busy, 0.99);
    const double busyMax = bench::percentile(busy, 1.0);
    std::printf("slow disk (%d photos of %lld MB, disk %.0f MB/s): %d stored whole in %.1f s; window tick gaps "
                "(every %d ms): p99 %.1f ms, worst %.1f ms; idle window p99 %.1f ms, worst %.1f ms; p99 ratio %.2f "
                "(target: p99 under 50 ms, worst under 200 ms)\n",
                PHOTOS, PHOTO_BYTES / 1'000'000, DISK_RATE / 1e6, whole, seconds, TICK_MS, busyP99, busyMax, idleP99,
                bench::percentile(idle, 1.0), idleP99 > 0 ? busyP99 / idleP99 : 0.0);
    std::printf("window thread per 4 MB photo: median %.2f ms, p99 %.2f ms\n", bench::percentile(windowMs, 0.5),
                bench::percentile(windowMs, 0.99));
    return whole == PHOTOS ? 0 : 1;
}
