// How soon 标签12 gives the registry's verdict on a photo just received:
// from the moment the phone's end marker is on the wire to the verdict
// shown, for 12-megapixel phone photos (the export benchmark's portraits,
// 2–5 MB, some stored turned) arriving one every 2 seconds, as a
// photographer takes them. The phone runs on a thread of this process, so
// the marker's send and the window's steps are read off one clock. The
// baseline in the same run is the preview: marker to 图片框3 showing the
// photo. Also what the window thread spends per photo: showing it, handing
// it to the checks, and showing the verdict.
//
//   velmora-bench-verdict [PHOTOS]     (default 20)
//
// With VELMORA_BENCH_EACH set it also prints each photo's figures.

#include "app/PhotoVerdict.h"
#include "bench/BenchSupport.h"
#include "bench/ExportBenchPhotos.h"
#include "link/PhoneLink.h"
#include "bench/PhoneThread.h"

#include <QApplication>
#include <QSemaphore>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <vector>

using namespace velmora;

namespace {

std::int64_t steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

double ms(std::int64_t ns)
{
    return ns / 1e6;
}

struct Sample {
    std::int64_t markerSent = 0;
    std::int64_t previewShown = 0;
    std::int64_t verdictShown = 0;
    std::int64_t windowNanos = 0;
    std::int64_t showNanos = 0; // of those, showing the photo and handing it over
};

} // namespace

int main(int argc, char* argv[])
{
    bench::prepareApplication();
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::vector<QByteArray> photos;
    for (int i = 0; i < count; ++i)
        photos.push_back(bench::phonePhoto(i));

    bench::ReceivingWindow receiver;
    if (!receiver.ok())
        return 1;
    // The window's own verdict on 标签12 (a second one beside it would
    // check every photo twice, on both cores).
    auto* found = receiver.window().findChild<app::PhotoVerdict*>();
    if (!found) {
        std::fprintf(stderr, "verdict: the window has no verdict\n");
        return 1;
    }
    app::PhotoVerdict& verdict = *found;

    std::vector<Sample> samples(static_cast<std::size_t>(count));
    QSemaphore judged;
    QObject::connect(&receiver.phoneLink(), &link::PhoneLink::photoShown,
                     [&](const link::PhoneLink::PhotoTimes& times) {
                         if (times.count >= 1 && times.count <= static_cast<std::uint64_t>(count)) {
                             Sample& sample = samples[times.count - 1];
                             sample.previewShown = times.shown;
                             sample.windowNanos += times.windowTime;
                             sample.showNanos = times.windowTime;
                         }
                     });
    QObject::connect(&verdict, &app::PhotoVerdict::shown, [&](std::uint64_t photo, bool final) {
        if (photo < 1 || photo > static_cast<std::uint64_t>(count))
            return;
        Sample& sample = samples[photo - 1];
        sample.windowNanos += verdict.lastShowNanos();
        if (final) {
            sample.verdictShown = steadyNow();
            judged.release();
        }
    });

    const bool sent = bench::playPhone(receiver, [&](tools::PhoneSimulator& simulator) {
        for (int i = 0; i < count; ++i) {
            const std::int64_t started = steadyNow();
            if (!simulator.sendPhoto(QStringLiteral("检查\\照片%1.jpg").arg(i), photos[static_cast<std::size_t>(i)]))
                return false;
            samples[static_cast<std::size_t>(i)].markerSent = steadyNow();
            if (!judged.tryAcquire(1, 60000))
                return false;
            const std::int64_t left = 2'000'000'000 - (steadyNow() - started);
            if (left > 0)
                QThread::usleep(static_cast<unsigned long>(left / 1000));
        }
        return true;
    });
    if (!sent) {
        std::fprintf(stderr, "verdict: the photos did not all arrive or were not all judged\n");
        return 1;
    }
    std::vector<double> preview, toVerdict, window, showing;
    for (const Sample& sample : samples) {
        preview.push_back(ms(sample.previewShown - sample.markerSent));
        toVerdict.push_back(ms(sample.verdictShown - sample.markerSent));
        window.push_back(ms(sample.windowNanos));
        showing.push_back(ms(sample.showNanos));
        if (qEnvironmentVariableIsSet("VELMORA_BENCH_EACH"))
            std::printf("photo: window %.3f ms, showing %.3f ms, preview %.0f ms, verdict %.0f ms\n", ms(sample.windowNanos),
                        ms(sample.showNanos), ms(sample.previewShown - sample.markerSent), ms(sample.verdictShown - sample.markerSent));
    }
    const double median = bench::percentile(toVerdict, 0.5);
    const double previewMedian = bench::percentile(preview, 0.5);
    std::printf("photos: %d of 12 MP, 2-5 MB, one every 2 s; 2 cores\n", count);
    std::printf("marker to verdict shown: median %.0f ms, p99 %.0f ms (target: both at most 1000 ms)\n", median,
                bench::percentile(toVerdict, 0.99));
    std::printf("marker to preview shown (baseline): median %.0f ms, p99 %.0f ms; verdict / preview %.1f\n",
                previewMedian, bench::percentile(preview, 0.99), previewMedian > 0 ? median / previewMedian : 0.0);
    std::printf("window thread per photo (photo, hand-over, verdict): median %.3f ms, p99 %.3f ms (target: under 1 ms)\n",
                bench::percentile(window, 0.5), bench::percentile(window, 0.99));
    std::printf("  of which showing the photo and handing it to the checks: median %.3f ms, p99 %.3f ms\n",
                bench::percentile(showing, 0.5), bench::percentile(showing, 0.99));
    // The first photo may meet font lookups the window has not made before.
    std::vector<double> later(window.begin() + 1, window.end());
    if (!later.empty())
        std::printf("window thread per photo after the first: median %.3f ms, p99 %.3f ms; the first %.3f ms\n",
                    bench::percentile(later, 0.5), bench::percentile(later, 0.99), window.front());
    return 0;
}
