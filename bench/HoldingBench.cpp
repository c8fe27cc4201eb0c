// Receive folder away during a burst: 60 photos of 3 MB sent by the phone
// simulator at full speed; once the 10th is shown the receive folder is
// moved away (a USB stick pulled) and put back 10 s later. Every photo must
// end up whole under its own name, and a timer on the window thread ticks
// every 2 ms meanwhile: the gaps between its ticks are how long the window
// could not answer a click. The baseline is the same timer with the window
// idle, in the same run; what showing each photo took the window thread is
// printed as well.

#include "bench/BenchSupport.h"
#include "link/PhoneLink.h"
#include "platform/UserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>

#include <algorithm>
#include <cstdio>
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
    QString askChoice(QWidget*, const QString&, const QStringList& buttons) override { return buttons.value(buttons.size() - 1); }
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
    const std::vector<double> idle = bench::tickGaps(TICK_MS, [] { return false; }, 3000);

    const QString receive = receiver.receiveDirectory();
    const QString away = QDir::cleanPath(receive) + QStringLiteral("-away");
    link::PhoneLink& link = receiver.phoneLink();
    QProcess simulator;
    bench::startSimulator(simulator, bench::simulatorArguments(
        receiver.commandPort(), receiver.photoPort(),
        {QStringLiteral("--gap"), QStringLiteral("0"), QStringLiteral("--timeout"), QStringLiteral("120"),
         QStringLiteral("--dir"), folder}));
    // What showing each photo took the window thread itself, apart from the
    // time other programs on this machine took the cores from it.
    std::vector<double> showMs;
    QObject::connect(&link, &link::PhoneLink::photoShown,
                     [&](const link::PhoneLink::PhotoTimes& times) { showMs.push_back(times.windowTime / 1e6); });
    QElapsedTimer elapsed, awayFor;
    elapsed.start();
    bool gone = false, back = false;
    std::size_t mostHeld = 0;
    double backAt = 0, doneAt = 0;
    const auto done = [&] { return back && link.holding().held == 0 && receiver.photoCount() >= PHOTOS; };
    // The folder goes once the 10th photo is shown, and comes back 10 s on.
    const auto pullAndPutBack = [&] {
        mostHeld = std::max(mostHeld, link.holding().held);
        if (!gone && receiver.photoCount() >= AWAY_AFTER) {
            gone = QDir().rename(receive, away);
            awayFor.start();
        } else if (gone && !back && awayFor.elapsed() >= AWAY_MS) {
            back = QDir().rename(away, receive);
            backAt = elapsed.elapsed() / 1000.0;
        }
    };
    const std::vector<double> busy = bench::tickGaps(TICK_MS, done, 120000, pullAndPutBack);
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
    std::printf("window thread per photo shown: median %.2f ms, longest %.2f ms\n", bench::percentile(showMs, 0.5),
                bench::percentile(showMs, 1.0));
    return whole == PHOTOS && gone && back ? 0 : 1;
}
