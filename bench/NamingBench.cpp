// Naming matrix: 30 photos of 2 to 5 MB, each with bytes of its own, sent by
// the phone simulator acting as a phone on Wi-Fi (both connections on one
// radio link, a 2 MiB send buffer each) at 20 and 5 MB/s, with the phone
// pausing 100, 20, 5 and 0 ms after each name and each photo, and over
// loopback without a link at 2 and 0 ms. Then what a school day brings, on
// Wi-Fi with no pauses: a photo cut off and sent again on a new connection, a
// photo connection gone silent mid-photo with a cancelled shot behind it, two
// phones from two addresses at once, a new photo connection while the old
// one holds a transfer; names held back on the air by a retransmission
// while their photos flow (eight students a second apart with four names
// 200-600 ms late, six photos with no pause and every name 300 ms late, on a
// 4 MB/s link so that each photo is still on the air when its name comes);
// and 100 photos of about 40 KB (a phone that crops before sending) with no
// pause, their names far ahead of them. Every photo is counted whole (the file under its own
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
constexpr int SMALL_PHOTOS = 100;
constexpr qint64 SEND_BUFFER = 2 * 1024 * 1024;

using bench::PhonePhoto;

enum PhotoSet { LARGE, SMALL }; // PHOTOS of 2-5 MB, SMALL_PHOTOS of about 40 KB

struct Cell {
    double linkMBps = 0; // 0: loopback, no link emulated
    int gapMs = 0;
    const char* mishap = nullptr; // what the cell plays beyond the link
    QStringList options;          // the simulator's options for it
    QList<int> notSent;           // photos the phone never sends whole, numbered from 1 as sent
    bool twoPhones = false;       // even photos from 127.0.0.1, odd ones from 127.0.0.2
    PhotoSet set = LARGE;
    int count = 0;                // the first this many of the set, as sent; 0: all
};

// A set's photos in the order the phone sends them (by name, as the
// simulator sends a folder's), a cell's first `count` of them.
QList<int> sendingOrder(const QList<PhonePhoto>& photos, int count)
{
    QList<int> order(photos.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return photos[a].relative < photos[b].relative; });
    if (count > 0 && count < order.size())
        order.resize(count);
    return order;
}

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

// 100 photos of about 40 KB in class folders, as a phone that crops its
// photos before sending names them; made once.
QList<PhonePhoto> smallPhonePhotos(const QString& folder)
{
    return bench::writePhonePhotos(folder, {bench::cachedJpegBytes(QStringLiteral("photo-40KB.jpg"), 40'000)},
                                   SMALL_PHOTOS, [](int i) {
        return QStringLiteral("班%1/学生%2.jpg").arg(i % 4 + 1).arg(i, 3, 10, QLatin1Char('0'));
    }, "small naming photo");
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

// The simulator's arguments for `phone` of the cell: the link, the cell's
// options and the photos it sends, in `order`.
QStringList phoneArguments(const Cell& cell, int phone, const QString& folder, const QList<PhonePhoto>& photos,
                           const QList<int>& order)
{
    QStringList arguments{QStringLiteral("--gap"), QString::number(cell.gapMs)};
    if (cell.linkMBps > 0) {
        arguments << QStringLiteral("--link-rate") << QString::number(cell.linkMBps)
                  << QStringLiteral("--send-buffer") << QString::number(SEND_BUFFER);
    }
    arguments << cell.options;
    if (cell.twoPhones)
        arguments << QStringLiteral("--from") << QStringLiteral("127.0.0.%1").arg(phone + 1);
    for (int i = cell.twoPhones ? phone : 0; i < order.size(); i += cell.twoPhones ? 2 : 1) {
        const PhonePhoto& photo = photos[order[i]];
        arguments << QString(photo.relative).replace(QLatin1Char('/'), QLatin1Char('\\')) + QLatin1Char('=')
                + folder + QLatin1Char('/') + photo.relative;
    }
    return arguments;
}

// Counts the photos of `order` whole, misnamed or lost in `directory`.
void countPhotos(const QString& directory, const QList<PhonePhoto>& photos, const QList<int>& order,
                 const Cell& cell, Outcome& outcome)
{
    QHash<QByteArray, QString> stored; // hash -> a file holding those bytes
    QDirIterator files(directory, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        stored.insert(bench::sha256OfFile(file), file);
    }
    for (int sent = 0; sent < order.size(); ++sent) {
        const PhonePhoto& photo = photos[order[sent]];
        if (cell.notSent.contains(sent + 1)) {
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
}

Outcome run(const QString& folder, const QList<PhonePhoto>& photos, const Cell& cell)
{
    Outcome outcome;
    bench::ReceivingWindow receiver;
    auto* count = receiver.window().findChild<QLabel*>(QStringLiteral("标签4"));
    if (!count)
        return outcome;
    const QList<int> order = sendingOrder(photos, cell.count);
    QElapsedTimer timer;
    timer.start();
    QProcess phones[2];
    const int phoneCount = cell.twoPhones ? 2 : 1;
    for (int phone = 0; phone < phoneCount; ++phone) {
        bench::startSimulator(phones[phone], bench::simulatorArguments(
            receiver.commandPort(), receiver.photoPort(), phoneArguments(cell, phone, folder, photos, order)));
    }
    outcome.senderOk = true;
    for (int phone = 0; phone < phoneCount; ++phone)
        outcome.senderOk = bench::finishSimulator(phones[phone], 300000) && outcome.senderOk;
    const QString expected = QString::number(order.size() - cell.notSent.size());
    waitUntil([&] { return count->text() == expected; }, [&] { return count->text(); }, 3000);
    // Photos counted may still be on their way to the disk.
    const QString directory = receiver.receiveDirectory();
    waitUntil([] { return false; }, [&] { return listing(directory); }, 500);
    outcome.seconds = timer.nsecsElapsed() / 1e9;
    outcome.counted = count->text();
    countPhotos(directory, photos, order, cell, outcome);
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

// The cells, the baseline first: the calm case every rule must get right.
QList<Cell> matrixCells()
{
    const auto option = [](const char* name, int photo) {
        return QStringList{QString::fromLatin1(name), QString::number(photo)};
    };
    const auto lateNames = [](const QList<std::pair<int, int>>& late) {
        QStringList options;
        for (const auto& [photo, ms] : late)
            options << QStringLiteral("--late-name") << QStringLiteral("%1:%2").arg(photo).arg(ms);
        return options;
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
    cells.append(Cell{4, 1000, "eight students, the names of photos 3, 5, 6, 8 200/250/400/600 ms late",
                      lateNames({{3, 200}, {5, 250}, {6, 400}, {8, 600}}), {}, false, LARGE, 8});
    cells.append(Cell{4, 0, "six photos, every name 300 ms late",
                      lateNames({{1, 300}, {2, 300}, {3, 300}, {4, 300}, {5, 300}, {6, 300}}), {}, false, LARGE, 6});
    cells.append(Cell{20, 0, "100 photos of about 40 KB", {}, {}, false, SMALL});
    return cells;
}

struct Totals {
    int whole = 0, misnamed = 0, lost = 0, stray = 0, sent = 0, cellsWhole = 0, cellsRun = 0;
    int baselineWhole = 0, baselineSent = 0;
};

void runCell(const Cell& cell, const QString& folder, const QList<PhonePhoto>& photos, Totals& totals)
{
    const Outcome outcome = run(folder, photos, cell);
    const int cellPhotos = static_cast<int>(sendingOrder(photos, cell.count).size() - cell.notSent.size());
    std::printf("  %-28s %d photos: whole %2d, misnamed %2d, lost %2d, files of photos never sent %d "
                "(counted %s, %.1f s%s)\n",
                qPrintable(describe(cell) + QLatin1Char(':')), cellPhotos, outcome.whole, outcome.misnamed,
                outcome.lost, outcome.stray, qPrintable(outcome.counted), outcome.seconds,
                outcome.senderOk ? "" : ", phone simulator failed");
    std::fflush(stdout);
    if (totals.cellsRun == 0) {
        totals.baselineWhole = outcome.whole;
        totals.baselineSent = cellPhotos;
    }
    totals.whole += outcome.whole;
    totals.misnamed += outcome.misnamed;
    totals.lost += outcome.lost;
    totals.stray += outcome.stray;
    totals.sent += cellPhotos;
    ++totals.cellsRun;
    totals.cellsWhole += outcome.whole == cellPhotos && outcome.stray == 0 ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepareApplication();
    QApplication application(argc, argv);
    const QString folders[] = {bench::dataDirectory() + QStringLiteral("/naming-photos"),
                               bench::dataDirectory() + QStringLiteral("/naming-photos-small")};
    const QList<PhonePhoto> sets[] = {phonePhotos(folders[LARGE]), smallPhonePhotos(folders[SMALL])};
    if (sets[LARGE].size() != PHOTOS || sets[SMALL].size() != SMALL_PHOTOS) {
        std::fprintf(stderr, "cannot write the test photos into %s\n", qPrintable(bench::dataDirectory()));
        return 1;
    }
    const QList<Cell> cells = matrixCells();
    Totals totals;
    // An argument picks the cells whose description holds it (a rerun of one
    // cell); the baseline always runs.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    for (const Cell& cell : cells) {
        if (only.isEmpty() || &cell == &cells.front() || describe(cell).contains(only))
            runCell(cell, folders[cell.set], sets[cell.set], totals);
    }
    std::printf("naming matrix: %d photos sent whole in %d cells (2-5 MB on Wi-Fi with %lld-byte send buffers "
                "at 20 and 5 MB/s, pauses 100/20/5/0 ms; loopback at 2/0 ms; resend, stall and cancel, two phones, "
                "a new photo connection; names 200-600 ms late at 4 MB/s; 100 of 40 KB at 20 MB/s): whole %d, "
                "misnamed %d, lost %d, files of photos never sent %d; cells all whole %d of %d; ratio %.3f against "
                "the loopback 2 ms cell (%d of %d whole); target: every photo whole in every cell\n",
                totals.sent, totals.cellsRun, static_cast<long long>(SEND_BUFFER), totals.whole, totals.misnamed,
                totals.lost, totals.stray, totals.cellsWhole, totals.cellsRun,
                totals.baselineWhole > 0 && totals.sent > 0
                    ? (double(totals.whole) / totals.sent) / (double(totals.baselineWhole) / totals.baselineSent)
                    : 0.0,
                totals.baselineWhole, totals.baselineSent);
    return 0;
}
