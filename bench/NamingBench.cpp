// Naming matrix: 30 photos of 2 to 5 MB, each with bytes of its own, sent by
// the phone simulator acting as a phone on Wi-Fi (both connections on one
// radio link, a 2 MiB send buffer each) at 20 and 5 MB/s, with the phone
// pausing 100, 20, 5 and 0 ms after each name and each photo, and over
// loopback without a link at 2 and 0 ms. Then what a school day brings, on
// Wi-Fi with no pauses: a photo cut off and sent again on a new connection, a
// photo connection gone silent mid-photo with a cancelled shot behind it, two
// phones from two addresses at once, a new photo connection while the old
// one holds a transfer. Every photo is counted whole (the file under its own
// name holds exactly its bytes), misnamed (its bytes are stored under another
// name only) or lost; no photo's bytes may be stored under the name of a photo
// the phone never sent whole. The baseline is the loopback run
// at 2 ms in the same process. Only what a user sees is used: the ports, the
// receive directory box, the count label and the files.

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <algorithm>
#include <functional>
#include <numeric>
#include <utility>

using namespace velmora;

namespace {

constexpr int PHOTOS = 30;
constexpr qint64 SEND_BUFFER = 2 * 1024 * 1024;

using bench::PhonePhoto;

struct Cell {
    double linkMBps = 0; // 0: loopback, no link emulated
    int gapMs = 0;
    const char* mishap = nullptr; // what the cell plays beyond the link
    QStringList options;          // the simulator's options for it
    QList<int> notSent;           // photos the phone never sends whole, numbered from 1 as sent
    bool twoPhones = false;       // even photos from 127.0.0.1, odd ones from 127.0.0.2
};

struct Outcome {
    int whole = 0;
    int misnamed = 0;
    int lost = 0;
    int stray = 0; // files under the name of a photo never sent whole
    QString counted; // the count label at the end
    double seconds = 0;
    bool senderOk = false;
};

// The photos in class folders as the phone names them, sizes 2, 3, 4 and
// 5 MB in turn, each a tagged copy of one of four JPEGs; made once.
QList<PhonePhoto> phonePhotos(const QString& folder)
{
    QList<QByteArray> bases;
    for (int megabytes = 2; megabytes <= 5; ++megabytes)
        bases.append(bench::cachedJpegBytes(QStringLiteral("photo-%1MB.jpg").arg(megabytes), megabytes * 1'000'000));
    return bench::writePhonePhotos(folder, bases, PHOTOS, [](int i) {
        return QStringLiteral("班%1/学生%2.jpg").arg(i % 3 + 1).arg(i, 2, 10, QLatin1Char('0'));
    }, "naming photo");
}

// Runs the event loop until `done` holds, or `ms` pass without `changed`
// giving anything new.
void waitUntil(const std::function<bool()>& done, const std::function<QString()>& changed, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer quiet;
    QString last = changed();
    quiet.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const QString now = changed();
        if (now != last) {
            last = now;
            quiet.restart();
        }
        if (done() || quiet.elapsed() >= ms)
            loop.quit();
    });
    poll.start(50);
    loop.exec();
}

// Every file below `directory` with its size, one a line: changes while
// photos are still being written.
QString listing(const QString& directory)
{
    QString lines;
    QDirIterator files(directory, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        lines += files.filePath() + QLatin1Char(' ') + QString::number(files.fileInfo().size()) + QLatin1Char('\n');
    }
    return lines;
}

Outcome run(const QString& folder, const QList<PhonePhoto>& photos, const Cell& cell)
{
    Outcome outcome;
    bench::ReceivingWindow receiver;
    auto* count = receiver.window().findChild<QLabel*>(QStringLiteral("标签4"));
    if (!count)
        return outcome;
    QStringList extra{QStringLiteral("--gap"), QString::number(cell.gapMs)};
    if (cell.linkMBps > 0) {
        extra << QStringLiteral("--link-rate") << QString::number(cell.linkMBps) << QStringLiteral("--send-buffer")
              << QString::number(SEND_BUFFER);
    }
    extra << cell.options;
    QElapsedTimer timer;
    timer.start();
    QProcess phones[2];
    const int phoneCount = cell.twoPhones ? 2 : 1;
    for (int phone = 0; phone < phoneCount; ++phone) {
        QStringList arguments = extra;
        if (!cell.twoPhones) {
            arguments << QStringLiteral("--dir") << folder;
        } else {
            arguments << QStringLiteral("--from") << QStringLiteral("127.0.0.%1").arg(phone + 1);
            for (int i = phone; i < photos.size(); i += 2) {
                arguments << QString(photos[i].relative).replace(QLatin1Char('/'), QLatin1Char('\\'))
                        + QLatin1Char('=') + folder + QLatin1Char('/') + photos[i].relative;
            }
        }
        bench::startSimulator(phones[phone],
                              bench::simulatorArguments(receiver.commandPort(), receiver.photoPort(), arguments));
    }
    outcome.senderOk = true;
    for (int phone = 0; phone < phoneCount; ++phone)
        outcome.senderOk = bench::finishSimulator(phones[phone], 300000) && outcome.senderOk;
    const QString expected = QString::number(photos.size() - cell.notSent.size());
    waitUntil([&] { return count->text() == expected; }, [&] { return count->text(); }, 3000);
    // Photos counted may still be on their way to the disk.
    const QString directory = receiver.receiveDirectory();
    waitUntil([] { return false; }, [&] { return listing(directory); }, 500);
    outcome.seconds = timer.nsecsElapsed() / 1e9;
    outcome.counted = count->text();

    QHash<QByteArray, QString> stored; // hash -> a file holding those bytes
    QDirIterator files(directory, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        stored.insert(bench::sha256OfFile(file), file);
    }
    // The simulator sends a folder's photos in the order of their names.
    QList<int> sentOrder(photos.size());
    std::iota(sentOrder.begin(), sentOrder.end(), 0);
    std::sort(sentOrder.begin(), sentOrder.end(),
              [&](int a, int b) { return photos[a].relative < photos[b].relative; });
    for (int i = 0; i < photos.size(); ++i) {
        const PhonePhoto& photo = photos[i];
        if (cell.notSent.contains(static_cast<int>(sentOrder.indexOf(i)) + 1)) {
            // The name-list step may leave an empty file there; never bytes.
            outcome.stray += QFileInfo(directory + photo.relative).size() > 0 ? 1 : 0;
            continue;
        }
        if (bench::sha256OfFile(directory + photo.relative) == photo.hash)
            ++outcome.whole;
        else if (stored.contains(photo.hash))
            ++outcome.misnamed;
        else
            ++outcome.lost;
    }
    return outcome;
}

QString describe(const Cell& cell)
{
    const QString link = cell.linkMBps > 0 ? QStringLiteral("link %1 MB/s").arg(cell.linkMBps)
                                           : QStringLiteral("loopback, no link");
    const QString described = QStringLiteral("%1, pause %2 ms").arg(link).arg(cell.gapMs);
    return cell.mishap ? QString::fromUtf8(cell.mishap) + QStringLiteral(" (") + described + QLatin1Char(')')
                       : described;
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepareApplication();
    QApplication application(argc, argv);
    const QString folder = bench::dataDirectory() + QStringLiteral("/naming-photos");
    const QList<PhonePhoto> photos = phonePhotos(folder);
    if (photos.size() != PHOTOS) {
        std::fprintf(stderr, "cannot write the test photos into %s\n", qPrintable(folder));
        return 1;
    }
    // The baseline first: the calm case every rule must get right.
    const auto option = [](const char* name, int photo) {
        return QStringList{QString::fromLatin1(name), QString::number(photo)};
    };
    QList<Cell> cells;
    for (const auto& [rate, gap] : {std::pair{0.0, 2}, {0.0, 0}, {20.0, 100}, {20.0, 20}, {20.0, 5}, {20.0, 0},
                                    {5.0, 100}, {5.0, 20}, {5.0, 5}, {5.0, 0}})
        cells.append(Cell{rate, gap, nullptr, {}, {}, false});
    cells.append(Cell{20, 0, "photo 1 cut off and sent again", option("--resend", 1), {}, false});
    cells.append(Cell{20, 0, "photo 5 silent mid-photo, shot 7 cancelled",
                      option("--stall", 5) + option("--cancel", 7), {5, 7}, false});
    cells.append(Cell{20, 0, "two phones at once", {}, {}, true});
    cells.append(Cell{5, 0, "photo 12 silent mid-photo, the phone on a new connection", option("--stall", 12), {12},
                      false});
    int whole = 0, misnamed = 0, lost = 0, stray = 0, cellsWhole = 0, cellsRun = 0, baselineWhole = 0, sent = 0;
    // An argument picks the cells whose description holds it (a rerun of one
    // cell); the baseline always runs.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    for (const Cell& cell : cells) {
        if (!only.isEmpty() && &cell != &cells.front() && !describe(cell).contains(only))
            continue;
        const Outcome outcome = run(folder, photos, cell);
        const int cellPhotos = PHOTOS - static_cast<int>(cell.notSent.size());
        std::printf("  %-28s %d photos: whole %2d, misnamed %2d, lost %2d, files of photos never sent %d "
                    "(counted %s, %.1f s%s)\n",
                    qPrintable(describe(cell) + QLatin1Char(':')), cellPhotos, outcome.whole, outcome.misnamed,
                    outcome.lost, outcome.stray, qPrintable(outcome.counted), outcome.seconds,
                    outcome.senderOk ? "" : ", phone simulator failed");
        std::fflush(stdout);
        if (&cell == &cells.front())
            baselineWhole = outcome.whole;
        whole += outcome.whole;
        misnamed += outcome.misnamed;
        lost += outcome.lost;
        stray += outcome.stray;
        sent += cellPhotos;
        ++cellsRun;
        cellsWhole += outcome.whole == cellPhotos && outcome.stray == 0 ? 1 : 0;
    }
    std::printf("naming matrix: %d photos of 2-5 MB sent whole in %d cells (Wi-Fi with %lld-byte send buffers "
                "at 20 and 5 MB/s, pauses 100/20/5/0 ms; loopback at 2/0 ms; resend, stall and cancel, two phones, "
                "a new photo connection): whole %d, misnamed %d, lost %d, files of photos never sent %d; cells all "
                "whole %d of %d; ratio %.3f against the loopback 2 ms cell (%d of %d whole); target: every photo "
                "whole in every cell\n",
                sent, cellsRun, static_cast<long long>(SEND_BUFFER), whole, misnamed, lost,
                stray, cellsWhole, cellsRun,
                baselineWhole > 0 && sent > 0 ? (double(whole) / sent) / (double(baselineWhole) / PHOTOS) : 0.0,
                baselineWhole, PHOTOS);
    return 0;
}
