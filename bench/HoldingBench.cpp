// Receive folder away during a burst: 60 photos of 3 MB sent by the phone
// simulator at full speed; once the 10th is shown the receive folder is
// moved away (a USB stick pulled) and put back 10 s later. Every photo must
// end up whole under its own name, and a timer on the window thread ticks
// every 2 ms meanwhile: the gaps between its ticks are how long the window
// could not answer a click. The baseline is the same timer with the window
// idle, in the same run.

#include "bench/BenchSupport.h"
#include "link/PhoneLink.h"
#include "platform/UserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace velmora;

namespace {

constexpr int PHOTOS = 60;
constexpr qint64 PHOTO_BYTES = 3'000'000;
constexpr int AWAY_AFTER = 10;  // photos shown before the folder goes
constexpr int AWAY_MS = 10000;
constexpr int TICK_MS = 2;

// Message boxes answered at once, counted.
class CountingDialogs final : public platform::UserDialogs {
public:
    int messages = 0;
    void showMessage(QWidget*, const QString&) override { ++messages; }
    bool askToProceed(QWidget*, const QString&, const QString&, const QString&) override { return false; }
    QString askSaveFile(QWidget*, const QString&) override { return {}; }
    QString askOpenFile(QWidget*, const QString&) override { return {}; }
    QString askFolder(QWidget*, const QString&, const QString&) override { return {}; }
};

QList<bench::PhonePhoto> phonePhotos(const QString& folder)
{
    return bench::writePhonePhotos(folder, {bench::cachedJpegBytes(QStringLiteral("photo-3MB.jpg"), PHOTO_BYTES)},
                                   PHOTOS, [](int i) {
        return QStringLiteral("暂存/学生%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
    }, "holding photo");
}

// Gaps between the window thread's ticks, in ms, until `done` holds or
// `limitMs` pass; `each` runs at every tick.
std::vector<double> tickGaps(const std::function<bool()>& done, int limitMs, const std::function<void()>& each = {})
{
    std::vector<double> gaps;
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QElapsedTimer since, total;
    since.start();
    total.start();
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        gaps.push_back(since.nsecsElapsed() / 1e6);
        since.restart();
        if (each)
            each();
        if (done() || total.elapsed() >= limitMs)
            loop.quit();
    });
    tick.start(TICK_MS);
    loop.exec();
    return gaps;
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepareApplication();
    QApplication application(argc, argv);
    const QString folder = bench::dataDirectory() + QStringLiteral("/holding-phone");
    const QList<bench::PhonePhoto> photos = phonePhotos(folder);
    CountingDialogs dialogs;
    bench::ReceivingWindow receiver([&](app::MainWindowOptions& options) { options.dialogs = &dialogs; });
    if (photos.size() != PHOTOS || !receiver.ok()) {
        std::fprintf(stderr, "holding: cannot prepare the photos or the window\n");
        return 1;
    }
    const std::vector<double> idle = tickGaps([] { return false; }, 3000);

    const QString receive = receiver.receiveDirectory();
    const QString away = QDir::cleanPath(receive) + QStringLiteral("-away");
    link::PhoneLink& link = receiver.phoneLink();
    QProcess simulator;
    bench::startSimulator(simulator, bench::simulatorArguments(
        receiver.commandPort(), receiver.photoPort(),
        {QStringLiteral("--gap"), QStringLiteral("0"), QStringLiteral("--timeout"), QStringLiteral("120"),
         QStringLiteral("--dir"), folder}));
    QElapsedTimer elapsed, awayFor;
    elapsed.start();
    bool gone = false, back = false;
    std::size_t mostHeld = 0;
    double backAt = 0, doneAt = 0;
    const std::vector<double> busy = tickGaps([&] { return back && link.holding().held == 0
                                                           && receiver.photoCount() >= PHOTOS; },
                                              120000, [&] {
        mostHeld = std::max(mostHeld, link.holding().held);
        if (!gone && receiver.photoCount() >= AWAY_AFTER) {
            gone = QDir().rename(receive, away);
            awayFor.start();
        } else if (gone && !back && awayFor.elapsed() >= AWAY_MS) {
            back = QDir().rename(away, receive);
            backAt = elapsed.elapsed() / 1000.0;
        }
    });
    doneAt = elapsed.elapsed() / 1000.0;
    bench::finishSimulator(simulator, 30000);

    const int whole = bench::countWhole(receive, photos);
    const auto* line = receiver.window().findChild<QLabel*>(QStringLiteral("标签13"));
    const double idleWorst = bench::percentile(idle, 1.0);
    const double busyWorst = bench::percentile(busy, 1.0);
    std::printf("holding (%d photos of %lld MB at full speed, receive folder away for %d s from photo %d): "
                "%d of %d whole under their own names, at most %zu held at once, %d message box(es), line %s; "
                "folder back at %.1f s, all written at %.1f s\n",
                PHOTOS, PHOTO_BYTES / 1'000'000, AWAY_MS / 1000, AWAY_AFTER, whole, PHOTOS, mostHeld,
                dialogs.messages, line && line->isHidden() ? "cleared" : "still shown", backAt, doneAt);
    std::printf("window tick gaps (every %d ms): p99 %.1f ms, longest %.1f ms; idle window p99 %.1f ms, "
                "longest %.1f ms; longest ratio %.2f (target: longest under 50 ms)\n",
                TICK_MS, bench::percentile(busy, 0.99), busyWorst, bench::percentile(idle, 0.99), idleWorst,
                idleWorst > 0 ? busyWorst / idleWorst : 0.0);
    return whole == PHOTOS && gone && back ? 0 : 1;
}
