// Photos for the student-registry upload: 200 phone photos of 2–5 MB (a
// third of them stored turned, with an orientation tag) made into 358 × 441
// files under 60 KB by the program's export, each checked and framed by the
// student's head, against ImageMagick's plain centred cut on the same
// photos in the same run, one process per photo and as many at once as
// there are cores. Prints photos per second of each and the ratio, whether
// every file meets the preset, how many photos the checks turned away (none
// should be), and the median PSNR of each against a floating-point
// downscale of the same part of the same upright photo (by exact area
// averaging, and by Lanczos-3 as ImageMagick shrinks). The two take turns on
// chunks of 20 photos, so that other work on a shared machine weighs on
// both alike.
//
//   velmora-bench-export [PHOTOS]     (default 200; fewer for a quick run)

#include "bench/ExportBenchPhotos.h"
#include "registry/export/ExportRunner.h"
#include "registry/export/JpegInfo.h"
#include "registry/export/PhotoConverter.h"
#include "registry/face/AssessPhoto.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

using namespace velmora;

namespace {

constexpr int DEFAULT_PHOTOS = 200;
constexpr int CHUNK = 20;
constexpr qint64 IMAGEMAGICK_LIMIT = 60 * 1024; // its "60KB"

unsigned cores()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

// Runs work(0 .. count-1) on every core.
void onEveryCore(int count, const std::function<void(int)>& work)
{
    std::atomic<int> next{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < cores(); ++t)
        threads.emplace_back([&] {
            for (int i = next++; i < count; i = next++)
                work(i);
        });
    for (auto& thread : threads)
        thread.join();
}

QString dataDirectory()
{
    const QByteArray fromEnvironment = qgetenv("VELMORA_BENCH_DATA");
    const QString base = fromEnvironment.isEmpty() ? QStringLiteral(VELMORA_BENCH_DATA_DIR)
                                                   : QString::fromLocal8Bit(fromEnvironment);
    const QString directory = base + QStringLiteral("/export-portraits");
    QDir().mkpath(directory);
    return directory;
}

QString photoPath(int index)
{
    return dataDirectory() + QStringLiteral("/photo%1.jpg").arg(index, 3, 10, QLatin1Char('0'));
}

// Makes the photos missing from an earlier run; false when one could not
// be written.
bool preparePhotos(int count)
{
    std::atomic<bool> ok{true};
    onEveryCore(count, [&](int i) {
        QFile file(photoPath(i));
        if (file.exists())
            return;
        const QByteArray bytes = bench::phonePhoto(i);
        QFile part(photoPath(i) + QStringLiteral(".part"));
        if (!part.open(QIODevice::WriteOnly) || part.write(bytes) != bytes.size())
            ok = false;
        part.close();
        part.rename(photoPath(i));
    });
    return ok;
}

double runImageMagick(int first, int count, const QString& output)
{
    const QString program = QFileInfo::exists(QStringLiteral("/usr/bin/convert"))
        ? QStringLiteral("/usr/bin/convert") : QStandardPaths::findExecutable(QStringLiteral("convert"));
    QElapsedTimer timer;
    timer.start();
    onEveryCore(count, [&](int n) {
        const int i = first + n;
        QProcess convert;
        convert.start(program, {photoPath(i), QStringLiteral("-auto-orient"), QStringLiteral("-resize"),
                                QStringLiteral("358x441^"), QStringLiteral("-gravity"), QStringLiteral("center"),
                                QStringLiteral("-extent"), QStringLiteral("358x441"), QStringLiteral("-strip"),
                                QStringLiteral("-define"), QStringLiteral("jpeg:extent=60KB"),
                                output + QStringLiteral("/%1.jpg").arg(i)});
        convert.waitForFinished(-1);
    });
    return timer.nsecsElapsed() / 1e9;
}

double runExport(int first, int count, const QString& receive, const QString& output)
{
    std::vector<registry::ExportJob> jobs;
    for (int i = first; i < first + count; ++i) {
        registry::ExportJob job;
        job.source = photoPath(i).toStdString();
        job.target = QStringLiteral("%1.jpg").arg(i).toStdString();
        jobs.push_back(job);
    }
    registry::ExportRunner runner(registry::registryPreset(), registry::convertPhoto, receive.toStdString(),
                                  output.toStdString());
    QElapsedTimer timer;
    timer.start();
    const registry::ExportOutcome outcome = runner.run(jobs);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (outcome.written != static_cast<std::size_t>(count))
        std::printf("export wrote %zu of %d photos\n", outcome.written, count);
    for (const registry::Flagged& flagged : outcome.flagged)
        std::printf("photo %d turned away: %s\n", first + static_cast<int>(flagged.job),
                    std::string(registry::reasonText(flagged.check)).c_str());
    return seconds;
}

// How many files of `directory` are not 358 × 441 within `limit` bytes.
int countMisfits(int count, const QString& directory, qint64 limit)
{
    int misfits = 0;
    for (int i = 0; i < count; ++i) {
        QFile file(directory + QStringLiteral("/%1.jpg").arg(i));
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const auto info = registry::readJpegInfo(std::string_view(bytes.constData(), bytes.size()));
        if (!info || info->width != 358 || info->height != 441 || bytes.size() > limit)
            ++misfits;
    }
    return misfits;
}

// Where ImageMagick's centred cut lies in the upright photo (and the
// export's cut before it framed by the head).
QRect centredCut(QSize upright)
{
    const registry::CropRect ours = registry::cropForPreset(upright.width(), upright.height(),
                                                            registry::registryPreset());
    return QRect((upright.width() - ours.width) / 2, (upright.height() - ours.height) / 2, ours.width,
                 ours.height);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void reportQuality(int count, const QString& ours, const QString& magick)
{
    using bench::Yardstick;
    // [yardstick][0 export, 1 ImageMagick][photo]
    std::vector<double> decibels[2][2];
    for (auto& pair : decibels)
        for (auto& values : pair)
            values.resize(static_cast<std::size_t>(count));
    onEveryCore(count, [&](int i) {
        QImageReader reader(photoPath(i));
        reader.setAutoTransform(true);
        const QImage upright = reader.read();
        QFile file(photoPath(i));
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        const auto frame = registry::assessPhoto(std::string_view(bytes.constData(), bytes.size())).frame;
        const QRect framed = frame ? QRect(frame->x, frame->y, frame->width, frame->height) : QRect();
        const QRect parts[2] = {framed, centredCut(upright.size())};
        const QString name = QStringLiteral("/%1.jpg").arg(i);
        const QImage outputs[2] = {QImage(ours + name), QImage(magick + name)};
        for (int y = 0; y < 2; ++y)
            for (int who = 0; who < 2; ++who)
                decibels[y][who][static_cast<std::size_t>(i)] = bench::psnr(
                    outputs[who],
                    bench::referenceDownscale(upright, parts[who], 358, 441, y == 0 ? Yardstick::Area : Yardstick::Lanczos3));
    });
    const char* names[2] = {"an exact area downscale", "a Lanczos-3 downscale"};
    for (int y = 0; y < 2; ++y) {
        const double a = median(decibels[y][0]);
        const double b = median(decibels[y][1]);
        std::printf("PSNR against %s, median: export %.2f dB, ImageMagick %.2f dB, "
                    "difference %+.2f dB (target: no worse than -0.5 dB)\n", names[y], a, b, a - b);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : DEFAULT_PHOTOS;
    std::printf("preparing %d phone photos in %s ...\n", count, qPrintable(dataDirectory()));
    if (!preparePhotos(count)) {
        std::printf("could not write the photos\n");
        return 1;
    }
    qint64 smallest = 0;
    qint64 largest = 0;
    for (int i = 0; i < count; ++i) {
        const qint64 size = QFileInfo(photoPath(i)).size();
        smallest = i == 0 ? size : std::min(smallest, size);
        largest = std::max(largest, size);
    }
    std::printf("photos: %d, %.1f to %.1f MB, %d with an orientation tag; %u cores\n", count, smallest / 1e6,
                largest / 1e6, (count + 2) / 3, cores());

    QTemporaryDir work;
    const QString ours = work.filePath(QStringLiteral("export"));
    const QString magick = work.filePath(QStringLiteral("imagemagick"));
    QDir().mkpath(magick);
    double oursSeconds = 0;
    double magickSeconds = 0;
    for (int first = 0; first < count; first += CHUNK) {
        const int chunk = std::min(CHUNK, count - first);
        if ((first / CHUNK) % 2 == 0) {
            oursSeconds += runExport(first, chunk, dataDirectory(), ours);
            magickSeconds += runImageMagick(first, chunk, magick);
        } else {
            magickSeconds += runImageMagick(first, chunk, magick);
            oursSeconds += runExport(first, chunk, dataDirectory(), ours);
        }
    }
    std::printf("export:      %.2f s, %.1f photos/s\n", oursSeconds, count / oursSeconds);
    std::printf("ImageMagick: %.2f s, %.1f photos/s\n", magickSeconds, count / magickSeconds);
    std::printf("ratio: %.1fx ImageMagick's rate (target: at least 5x)\n", magickSeconds / oursSeconds);
    std::printf("files not 358x441 within the limit: export %d of %d (under 60,000 bytes), "
                "ImageMagick %d of %d (61,440 bytes)\n",
                countMisfits(count, ours, 59'999), count, countMisfits(count, magick, IMAGEMAGICK_LIMIT), count);
    reportQuality(count, ours, magick);
    return 0;
}
