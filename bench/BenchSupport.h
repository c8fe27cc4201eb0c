#pragma once

// What the photo benchmarks share: photos made once and kept under the build
// directory, the real main window listening on free ports with a receive
// directory of its own, the phone simulator as a separate process, and a
// bare receiver on plain blocking sockets to compare against.

#include "app/MainWindow.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velmora::link { class PhoneLink; }

namespace velmora::bench {

// Offscreen unless QT_QPA_PLATFORM says otherwise, and no debug log; call
// before the application object is made.
void prepareApplication();

// Where generated photos are kept between runs: $VELMORA_BENCH_DATA, or
// "bench-data" in the build directory.
QString dataDirectory();

// A JPEG file of about `bytes` bytes (within a few per cent), of noise on a
// portrait 3:4 picture, made once and kept in dataDirectory() as `name`.
// Returns its path, or "" when it could not be written.
QString cachedJpeg(const QString& name, qint64 bytes);

// `jpeg` with a comment segment holding `tag` behind its start marker: still
// a valid JPEG, but with its own bytes, so a photo stored under another
// photo's name is caught by its hash.
QByteArray taggedJpeg(const QByteArray& jpeg, const QByteArray& tag);

QByteArray sha256(const QByteArray& bytes);
QByteArray sha256OfFile(const QString& path);

// A photo of a folder the phone simulator sends with --dir.
struct PhonePhoto {
    QString relative; // below the folder, "/" between levels
    QByteArray hash;
};

// Fills `folder` with `count` photos for the phone: photo i is written as
// relative(i), `bases[i % bases.size()]` tagged with `tag` and i, so each
// has bytes of its own. Files of the right size from an earlier run are
// kept. Empty when a photo could not be written.
QList<PhonePhoto> writePhonePhotos(const QString& folder, const QList<QByteArray>& bases, int count,
                                   const std::function<QString(int)>& relative, const QByteArray& tag);

// The bytes of cachedJpeg(name, bytes); empty when it could not be made.
QByteArray cachedJpegBytes(const QString& name, qint64 bytes);

// How many of `photos` are stored bit-exact under their own name below
// `directory` (ending with "/").
int countWhole(const QString& directory, const QList<PhonePhoto>& photos);

// The velmora-phone-sim program built beside the benchmarks.
QString simulatorProgram();

// The simulator's arguments for `ports`, then `extra`.
QStringList simulatorArguments(quint16 commandPort, quint16 photoPort, const QStringList& extra);

// Starts the simulator with its output thrown away (a full pipe would hold
// it up) and its error output on ours.
void startSimulator(QProcess& process, const QStringList& arguments);
// Waits for the simulator; false when it failed or took longer than
// `timeoutMs`.
bool finishSimulator(QProcess& process, int timeoutMs);

// The real main window, offscreen, on free ports, storing into a fresh
// temporary directory, and holding photos in a folder beside it; `adjust`
// changes the window's options before it is made.
class ReceivingWindow {
public:
    explicit ReceivingWindow(const std::function<void(app::MainWindowOptions&)>& adjust = {});
    ~ReceivingWindow();

    bool ok() const;
    app::MainWindow& window() { return *m_window; }
    link::PhoneLink& phoneLink() const { return *m_link; }
    quint16 commandPort() const;
    quint16 photoPort() const;
    // The receive directory, ending with "/".
    QString receiveDirectory() const;
    // Where the window holds photos the receive directory cannot take.
    QString holdingFolder() const { return m_dir.filePath(QStringLiteral("未保存照片")); }
    // The count of the last photo stored and shown.
    std::uint64_t photoCount() const { return m_shown; }
    // Runs the event loop until `count` photos are stored and shown or `ms`
    // pass without a new one; returns the photo count then.
    std::uint64_t waitForPhotos(std::uint64_t count, int ms);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<app::MainWindow> m_window;
    link::PhoneLink* m_link = nullptr;
    std::uint64_t m_shown = 0;
};

// A receiver with nothing but blocking POSIX reads: one thread drains the
// command connection, the caller's thread reads the photo connection,
// completes a photo at an end marker that begins a read or directly follows
// the JPEG's end, and writes it to `directory` under the next of `names`.
class BareReceiver {
public:
    BareReceiver();
    ~BareReceiver();

    bool ok() const { return m_commandListener >= 0 && m_photoListener >= 0; }
    quint16 commandPort() const { return m_commandPort; }
    quint16 photoPort() const { return m_photoPort; }
    // Accepts one connection on each port and receives `names.size()`
    // photos; returns how many were written.
    int receive(const QString& directory, const QStringList& names);

private:
    int m_commandListener = -1;
    int m_photoListener = -1;
    quint16 m_commandPort = 0;
    quint16 m_photoPort = 0;
};

// A value of /proc/self/status in kB ("VmRSS", "VmHWM"), or -1.
qint64 statusKb(const char* field);

// The value below which `share` (0..1) of the sorted `values` lie.
double percentile(std::vector<double> values, double share);

// Ticks a timer on the window thread every `tickMs` until `done` holds or
// `limitMs` pass, running `each` at every tick; returns the gaps between
// the ticks in ms: how long the window could not have answered a click.
std::vector<double> tickGaps(int tickMs, const std::function<bool()>& done, int limitMs,
                             const std::function<void()>& each = {});

} // namespace velmora::bench
