// velmora-phone-sim: plays the phone app against a PC running the program,
// so that a school's IT staff can check a set-up without a phone, and the
// tests and benchmarks can drive the program over real sockets.

#include "tools/PhoneSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <algorithm>

using velmora::tools::PhoneSimulator;
using velmora::tools::SimulatorOptions;

namespace {

struct Photo {
    QString name;
    QString file;
};

enum ExitCode { OK = 0, FAILED = 1, USAGE = 2 };

// Every file under `directory`, named by its path below it with "\" between
// levels, as the phone names photos in class folders.
QList<Photo> photosIn(const QString& directory)
{
    QList<Photo> photos;
    QDirIterator files(directory, QDir::Files, QDirIterator::Subdirectories);
    const QDir base(directory);
    while (files.hasNext()) {
        const QString file = files.next();
        photos.append({base.relativeFilePath(file).replace(QLatin1Char('/'), QLatin1Char('\\')), file});
    }
    std::sort(photos.begin(), photos.end(), [](const Photo& a, const Photo& b) { return a.name < b.name; });
    return photos;
}

bool readNumber(const QCommandLineParser& parser, const QString& option, qint64 least, qint64 most, qint64& value)
{
    bool ok = false;
    value = parser.value(option).toLongLong(&ok);
    return ok && value >= least && value <= most;
}

struct Run {
    SimulatorOptions sim;
    QList<Photo> photos;
    qint64 listenSeconds = 0; // -1: until the PC closes the connection
    qint64 rosters = 0;
};

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Plays the Velmora phone app: connects to the PC, prints each roster the PC sends,\n"
        "and sends photos. A photo is given as NAME=FILE, NAME being the path the PC stores\n"
        "it under, with \\ between folders (a name holding _ goes to 无身份证照片)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("NAME=FILE"), QStringLiteral("A photo to send under NAME."),
                                 QStringLiteral("[NAME=FILE...]"));
    parser.addOptions({
        {QStringLiteral("host"), QStringLiteral("The PC's address (default 127.0.0.1)."), QStringLiteral("address"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("command-port"), QStringLiteral("The command port (default 3456)."), QStringLiteral("port"), QStringLiteral("3456")},
        {QStringLiteral("photo-port"), QStringLiteral("The photo port (default 3455)."), QStringLiteral("port"), QStringLiteral("3455")},
        {QStringLiteral("dir"), QStringLiteral("Send every file under this folder, named by its path below it."), QStringLiteral("folder")},
        {QStringLiteral("piece"), QStringLiteral("Write each photo in pieces of this many bytes (default: one write)."), QStringLiteral("bytes"), QStringLiteral("0")},
        {QStringLiteral("pause"), QStringLiteral("Pause between two pieces of a photo (default 0)."), QStringLiteral("ms"), QStringLiteral("0")},
        {QStringLiteral("gap"), QStringLiteral("Pause after each name message and each photo (default 20)."), QStringLiteral("ms"), QStringLiteral("20")},
        {QStringLiteral("merge-marker"), QStringLiteral("Send the end marker in the same write as the photo's last bytes.")},
        {QStringLiteral("listen"), QStringLiteral("Keep printing rosters this long after the photos (default: 0 with photos, else until the PC closes)."), QStringLiteral("seconds")},
        {QStringLiteral("rosters"), QStringLiteral("Stop listening after this many rosters (default: no limit)."), QStringLiteral("count"), QStringLiteral("0")},
        {QStringLiteral("timeout"), QStringLiteral("Give up when connecting or one write takes longer (default 10; a PC storing onto a slow disk holds the phone back)."), QStringLiteral("seconds"), QStringLiteral("10")},
        {QStringLiteral("link-rate"), QStringLiteral("Act as a phone on Wi-Fi: both connections share a radio link of this many MB/s (default: no link, straight to the sockets)."), QStringLiteral("MBPS")},
        {QStringLiteral("send-buffer"), QStringLiteral("With --link-rate: each connection's send buffer, whose writes return once the bytes fit (default 2097152)."), QStringLiteral("bytes"), QStringLiteral("2097152")},
        {QStringLiteral("from"), QStringLiteral("Connect from this address of the PC playing the phone (a second phone: 127.0.0.2)."), QStringLiteral("address")},
        {QStringLiteral("resend"), QStringLiteral("Cut photo N (from 1) off half-way by closing its connection, then send it again whole on a new one with no new name. May be repeated."), QStringLiteral("N")},
        {QStringLiteral("stall"), QStringLiteral("Leave photo N half-way on a connection that goes silent without closing (out of Wi-Fi reach); go on with the next photo on a new connection. May be repeated."), QStringLiteral("N")},
        {QStringLiteral("cancel"), QStringLiteral("Send photo N's name, then cancel the shot: no photo, 1.5 s of quiet. May be repeated."), QStringLiteral("N")},
        {QStringLiteral("late-name"), QStringLiteral("Photo N's name reaches the PC MS milliseconds after the photo's first bytes (a lost segment sent again; with --link-rate the names behind it wait too). May be repeated."), QStringLiteral("N:MS")},
    });
}

// The emulated Wi-Fi link's options; false (with a message) on bad input.
bool readLink(const QCommandLineParser& parser, SimulatorOptions& sim, QTextStream& err)
{
    if (!parser.isSet(QStringLiteral("link-rate"))) {
        if (!parser.isSet(QStringLiteral("send-buffer")))
            return true;
        err << "--send-buffer needs --link-rate" << Qt::endl;
        return false;
    }
    bool ok = false;
    sim.linkRateMBps = parser.value(QStringLiteral("link-rate")).toDouble(&ok);
    if (!ok || !(sim.linkRateMBps >= 0.001 && sim.linkRateMBps <= 100000)
        || !readNumber(parser, QStringLiteral("send-buffer"), 1, qint64{1} << 32, sim.sendBuffer)) {
        err << "bad number for --link-rate or --send-buffer" << Qt::endl;
        return false;
    }
    return true;
}

// The photo numbers given with `option`; false on one that is no number from 1.
bool readPhotoNumbers(const QCommandLineParser& parser, const QString& option, QSet<int>& numbers)
{
    for (const QString& value : parser.values(option)) {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok || number < 1)
            return false;
        numbers.insert(number);
    }
    return true;
}

// The photo numbers and delays given with --late-name; false on one that
// is not N:MS with N from 1 and MS from 0 to 600000.
bool readLateNames(const QCommandLineParser& parser, QMap<int, int>& lateNameMs)
{
    for (const QString& value : parser.values(QStringLiteral("late-name"))) {
        const QStringList parts = value.split(QLatin1Char(':'));
        bool numberOk = false, msOk = false;
        const int number = parts.size() == 2 ? parts[0].toInt(&numberOk) : 0;
        const int ms = parts.size() == 2 ? parts[1].toInt(&msOk) : 0;
        if (!numberOk || !msOk || number < 1 || ms < 0 || ms > 600000)
            return false;
        lateNameMs.insert(number, ms);
    }
    return true;
}

// Fills `run` from the command line; false (with a message) on bad input.
bool readArguments(const QCommandLineParser& parser, Run& run, QTextStream& err)
{
    qint64 commandPort = 0, photoPort = 0, pause = 0, gap = 0, timeout = 0;
    if (!readNumber(parser, QStringLiteral("command-port"), 1, 65535, commandPort)
        || !readNumber(parser, QStringLiteral("photo-port"), 1, 65535, photoPort)
        || !readNumber(parser, QStringLiteral("piece"), 0, qint64{1} << 40, run.sim.pieceSize)
        || !readNumber(parser, QStringLiteral("pause"), 0, 3600000, pause)
        || !readNumber(parser, QStringLiteral("gap"), 0, 3600000, gap)
        || !readNumber(parser, QStringLiteral("rosters"), 0, 1000000, run.rosters)
        || !readNumber(parser, QStringLiteral("timeout"), 1, 86400, timeout)) {
        err << "bad number in the options; see --help" << Qt::endl;
        return false;
    }
    run.sim.host = parser.value(QStringLiteral("host"));
    run.sim.commandPort = static_cast<quint16>(commandPort);
    run.sim.photoPort = static_cast<quint16>(photoPort);
    run.sim.piecePauseMs = static_cast<int>(pause);
    run.sim.gapMs = static_cast<int>(gap);
    run.sim.timeoutMs = static_cast<int>(timeout * 1000);
    run.sim.mergeMarker = parser.isSet(QStringLiteral("merge-marker"));
    run.sim.from = parser.value(QStringLiteral("from"));
    if (!readLink(parser, run.sim, err))
        return false;
    if (!readPhotoNumbers(parser, QStringLiteral("resend"), run.sim.resendAt)
        || !readPhotoNumbers(parser, QStringLiteral("stall"), run.sim.stallAt)
        || !readPhotoNumbers(parser, QStringLiteral("cancel"), run.sim.cancelAt)) {
        err << "--resend, --stall and --cancel take photo numbers from 1" << Qt::endl;
        return false;
    }
    if (!readLateNames(parser, run.sim.lateNameMs)) {
        err << "--late-name takes N:MS, a photo number from 1 and 0 to 600000 ms" << Qt::endl;
        return false;
    }
    if (parser.isSet(QStringLiteral("dir")))
        run.photos = photosIn(parser.value(QStringLiteral("dir")));
    for (const QString& argument : parser.positionalArguments()) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            err << "not NAME=FILE: " << argument << Qt::endl;
            return false;
        }
        run.photos.append({argument.left(equals), argument.mid(equals + 1)});
    }
    run.listenSeconds = run.photos.isEmpty() ? -1 : 0;
    if (parser.isSet(QStringLiteral("listen"))
        && !readNumber(parser, QStringLiteral("listen"), 0, 86400 * 365, run.listenSeconds)) {
        err << "bad number for --listen" << Qt::endl;
        return false;
    }
    return true;
}

int simulate(const Run& run, QTextStream& out, QTextStream& err)
{
    PhoneSimulator phone(run.sim, out, err);
    if (!phone.connectToPc())
        return FAILED;
    out << "connected to " << run.sim.host << " ports " << run.sim.commandPort << " and " << run.sim.photoPort
        << Qt::endl;
    for (const Photo& photo : run.photos) {
        QFile file(photo.file);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "cannot read " << photo.file << ": " << file.errorString() << Qt::endl;
            return FAILED;
        }
        if (!phone.sendPhoto(photo.name, file.readAll()))
            return FAILED;
    }
    if (!phone.finishSending())
        return FAILED;
    if (!run.photos.isEmpty())
        out << "sent " << run.photos.size() << " photos" << Qt::endl;
    phone.listenForRosters(run.listenSeconds < 0 ? -1 : static_cast<int>(run.listenSeconds * 1000),
                           static_cast<int>(run.rosters));
    return OK;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-phone-sim"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    Run run;
    if (!readArguments(parser, run, err))
        return USAGE;
    return simulate(run, out, err);
}
