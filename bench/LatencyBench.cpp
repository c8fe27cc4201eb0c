// Per-photo latency: from the moment the phone's end marker is on the wire
// to the photo renamed into place and 图片框3 showing it, for photos of
// 5 MiB and 20 MiB sent one at a time (the next leaves once the window shows
// the last, and the preview interval has passed). The phone runs on a thread of this process, so that the marker's
// send and the window's steps are read off one clock. The baseline is what
// a bare write of the same bytes to a file and a rename take in the same run.

#include "bench/BenchSupport.h"
#include "link/PhoneLink.h"
#include "bench/PhoneThread.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace velmora;

namespace {

struct Sample {
    std::int64_t markerSent = 0;
    link::PhoneLink::PhotoTimes times;
};

std::int64_t steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

double ms(std::int64_t ns)
{
    return ns / 1e6;
}

// Sends `count` photos one after the other, each once the last is shown.
std::vector<Sample> measure(const QByteArray& photo, int count)
{
    bench::ReceivingWindow receiver;
    std::vector<Sample> samples(static_cast<std::size_t>(count));
    if (!receiver.ok())
        return {};
    QSemaphore shown;
    int done = 0;
    QObject::connect(&receiver.phoneLink(), &link::PhoneLink::photoShown,
                     [&](const link::PhoneLink::PhotoTimes& times) {
                         if (done < count)
                             samples[static_cast<std::size_t>(done++)].times = times;
                         shown.release();
                     });
    const bool sent = bench::playPhone(receiver, [&](tools::PhoneSimulator& simulator) {
        for (int i = 0; i < count; ++i) {
            // The simulator returns once the marker has left; what follows
            // that in sendPhoto takes microseconds.
            if (!simulator.sendPhoto(QStringLiteral("延迟\\照片%1.jpg").arg(i), photo))
                return false;
            samples[static_cast<std::size_t>(i)].markerSent = steadyNow();
            if (!shown.tryAcquire(1, 60000))
                return false;
            // A photo that comes sooner after the last preview keeps the
            // box's picture for a while; at a photographer's pace, each
            // photo's preview is decoded at once, and that is measured.
            QThread::msleep(link::PhoneLink::PREVIEW_INTERVAL.count() + 20);
        }
        return true;
    });
    if (!sent || done < count)
        return {};
    return samples;
}

// Median time to write `photo` to a new file and rename it into place.
double bareStoreMs(const QByteArray& photo, int count)
{
    QTemporaryDir directory;
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const QByteArray temporary = QFile::encodeName(directory.filePath(QStringLiteral(".tmp")));
        const QByteArray target = QFile::encodeName(directory.filePath(QStringLiteral("%1.jpg").arg(i)));
        const std::int64_t start = steadyNow();
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        qsizetype at = 0;
        while (fd >= 0 && at < photo.size()) {
            const ssize_t written = ::write(fd, photo.constData() + at, static_cast<std::size_t>(photo.size() - at));
            if (written <= 0)
                break;
            at += written;
        }
        if (fd >= 0)
            ::close(fd);
        ::rename(temporary.constData(), target.constData());
        times.push_back(ms(steadyNow() - start));
    }
    return bench::percentile(times, 0.5);
}

bool report(const char* label, const QString& path, int count)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read the test photo %s\n", qPrintable(path));
        return false;
    }
    const QByteArray photo = file.readAll();
    // As many files as the window writes, and first: written after the
    // window, the files found the page cache already cleaned up and took a
    // tenth of the time, which flattered the baseline.
    const double bare = bareStoreMs(photo, count);
    const std::vector<Sample> samples = measure(photo, count);
    if (samples.empty()) {
        std::fprintf(stderr, "latency %s: the photos did not all arrive\n", label);
        return false;
    }
    std::vector<double> total, waiting, storing, decoding, window;
    for (const Sample& sample : samples) {
        window.push_back(ms(sample.times.windowTime));
        total.push_back(ms(sample.times.shown - sample.markerSent));
        waiting.push_back(ms(sample.times.pieceTaken - sample.markerSent));
        storing.push_back(ms(sample.times.stored - sample.times.pieceTaken));
        decoding.push_back(ms(sample.times.decoded - sample.times.stored));
    }
    const double median = bench::percentile(total, 0.5);
    const double decode = bench::percentile(decoding, 0.5);
    std::printf("latency %s (%d photos, one at a time): median %.1f ms, p99 %.1f ms; median steps: marker to "
                "handler %.1f ms, cut and store %.1f ms, preview decode %.1f ms (%.0f%% of the median); bare "
                "write and rename %.1f ms, ratio %.1f\n",
                label, count, median, bench::percentile(total, 0.99), bench::percentile(waiting, 0.5),
                bench::percentile(storing, 0.5), decode, median > 0 ? 100.0 * decode / median : 0.0, bare,
                bare > 0 ? median / bare : 0.0);
    // The window thread only shows: its share of a photo, against the whole.
    std::printf("window thread per %s photo: median %.2f ms, p99 %.2f ms (%.1f%% of the median latency)\n", label,
                bench::percentile(window, 0.5), bench::percentile(window, 0.99),
                median > 0 ? 100.0 * bench::percentile(window, 0.5) / median : 0.0);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepareApplication();
    QApplication application(argc, argv);
    const bool small = report("5 MiB", bench::cachedJpeg(QStringLiteral("photo-5MiB.jpg"), 5 * 1024 * 1024), 100);
    const bool large = report("20 MiB", bench::cachedJpeg(QStringLiteral("photo-20MiB.jpg"), 20 * 1024 * 1024), 40);
    return small && large ? 0 : 1;
}
