#include "bench/BenchSupport.h"

#include "link/PhoneLink.h"
#include "link/TcpServer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora::bench {
namespace {

constexpr std::string_view END_MARKER{"\x02\x02\x02\x02", 4};
constexpr int JPEG_QUALITY = 92;

// Noise compresses about as badly as a detailed photo, so the file's size
// follows from the pixel count alone.
QByteArray noiseJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::uint64_t state = 0x9E3779B97F4A7C15ULL ^ static_cast<std::uint64_t>(width);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            line[x] = 0xFF000000u | static_cast<quint32>(state & 0xFFFFFF);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", JPEG_QUALITY);
    return bytes;
}

// Width and height of a 3:4 portrait picture of `pixels` pixels.
std::pair<int, int> portrait(double pixels)
{
    const int width = std::max(16, static_cast<int>(std::sqrt(pixels * 3.0 / 4.0)));
    return {width, width * 4 / 3};
}

quint16 listenOnLoopback(int& fd)
{
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(fd, 4) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        return 0;
    }
    return ntohs(address.sin_port);
}

// Writes the photo and, like the program, puts it on the medium before it
// counts: the file's data, then its folder's entry.
bool writeFile(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written <= 0)
            break;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    const bool flushed = ::fsync(fd) == 0;
    if (::close(fd) != 0 || !bytes.empty() || !flushed)
        return false;
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    const int folderFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (folderFd < 0)
        return false;
    const bool folderFlushed = ::fsync(folderFd) == 0;
    ::close(folderFd);
    return folderFlushed;
}

} // namespace

void prepareApplication()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The phone link logs every photo; at hundreds a second that is noise.
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.*.debug=false"));
}

QString dataDirectory()
{
    const QByteArray fromEnvironment = qgetenv("VELMORA_BENCH_DATA");
    const QString directory = fromEnvironment.isEmpty() ? QStringLiteral(VELMORA_BENCH_DATA_DIR)
                                                        : QString::fromLocal8Bit(fromEnvironment);
    QDir().mkpath(directory);
    return directory;
}

QString cachedJpeg(const QString& name, qint64 bytes)
{
    const QString path = dataDirectory() + QLatin1Char('/') + name;
    const qint64 have = QFileInfo(path).size();
    if (have > bytes * 97 / 100 && have < bytes * 103 / 100)
        return path;
    // Bytes per pixel from a small sample, then one correction at full size.
    const auto [sampleWidth, sampleHeight] = portrait(300.0 * 400.0);
    double perPixel = noiseJpeg(sampleWidth, sampleHeight).size() / double(sampleWidth * sampleHeight);
    QByteArray jpeg;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto [width, height] = portrait(double(bytes) / perPixel);
        jpeg = noiseJpeg(width, height);
        if (jpeg.size() > bytes * 97 / 100 && jpeg.size() < bytes * 103 / 100)
            break;
        perPixel = jpeg.size() / double(width * height);
    }
    QFile file(path);
    if (jpeg.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
        return QString();
    return path;
}

QByteArray taggedJpeg(const QByteArray& jpeg, const QByteArray& tag)
{
    const qsizetype length = tag.size() + 2;
    QByteArray segment("\xFF\xFE", 2);
    segment.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xFF)).append(tag);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QList<PhonePhoto> writePhonePhotos(const QString& folder, const QList<QByteArray>& bases, int count,
                                   const std::function<QString(int)>& relative, const QByteArray& tag)
{
    if (bases.isEmpty() || bases.contains(QByteArray()))
        return {};
    QList<PhonePhoto> photos;
    for (int i = 0; i < count; ++i) {
        const QString name = relative(i);
        const QByteArray bytes = taggedJpeg(bases[i % bases.size()], tag + ' ' + QByteArray::number(i));
        QFile file(folder + QLatin1Char('/') + name);
        if (file.size() != bytes.size()) {
            QDir().mkpath(QFileInfo(file).path());
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                return {};
        }
        photos.append({name, sha256(bytes)});
    }
    return photos;
}

QByteArray cachedJpegBytes(const QString& name, qint64 bytes)
{
    QFile file(cachedJpeg(name, bytes));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int countWhole(const QString& directory, const QList<PhonePhoto>& photos)
{
    return static_cast<int>(std::count_if(photos.begin(), photos.end(), [&](const PhonePhoto& photo) {
        return sha256OfFile(directory + photo.relative) == photo.hash;
    }));
}

QByteArray sha256OfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

QString simulatorProgram()
{
    return QStringLiteral(VELMORA_PHONE_SIM);
}

QStringList simulatorArguments(quint16 commandPort, quint16 photoPort, const QStringList& extra)
{
    return QStringList{QStringLiteral("--command-port"), QString::number(commandPort),
                       QStringLiteral("--photo-port"), QString::number(photoPort)} + extra;
}

void startSimulator(QProcess& process, const QStringList& arguments)
{
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(simulatorProgram(), arguments);
}

bool finishSimulator(QProcess& process, int timeoutMs)
{
    // Waited for in an event loop: the window must go on taking the pieces
    // the simulator is still sending.
    if (process.state() != QProcess::NotRunning) {
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        std::fprintf(stderr, "phone simulator did not finish in time\n");
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

ReceivingWindow::ReceivingWindow(const std::function<void(app::MainWindowOptions&)>& adjust)
{
    QDir().mkpath(receiveDirectory());
    app::MainWindowOptions options;
    options.commandPort = 0;
    options.photoPort = 0;
    options.settingsFile = m_dir.filePath(QStringLiteral("set.ini"));
    options.holdingFolder = holdingFolder();
    options.startPanel = false;
    if (adjust)
        adjust(options);
    m_window = std::make_unique<app::MainWindow>(options);
    m_window->findChild<QLineEdit*>(QStringLiteral("目录编辑框1"))->setText(receiveDirectory());
    m_link = m_window->findChild<link::PhoneLink*>();
    if (m_link)
        QObject::connect(m_link, &link::PhoneLink::photoShown, m_link,
                         [this](const link::PhoneLink::PhotoTimes& times) { m_shown = times.count; });
    m_window->show();
}

ReceivingWindow::~ReceivingWindow() = default;

bool ReceivingWindow::ok() const
{
    return m_dir.isValid() && m_link && commandPort() != 0 && photoPort() != 0;
}

quint16 ReceivingWindow::commandPort() const
{
    return m_window->commandServer()->serverPort();
}

quint16 ReceivingWindow::photoPort() const
{
    return m_window->photoServer()->serverPort();
}

QString ReceivingWindow::receiveDirectory() const
{
    return m_dir.filePath(QStringLiteral("recv")) + QLatin1Char('/');
}

std::uint64_t ReceivingWindow::waitForPhotos(std::uint64_t count, int ms)
{
    if (photoCount() >= count)
        return photoCount();
    // A loop of our own rather than polling with sleeps: a sleep would hold
    // back the pieces the network threads hand over and slow the window.
    QEventLoop loop;
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(ms);
    QObject::connect(&idle, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_link, &link::PhoneLink::photoShown, &loop, [&] {
        if (photoCount() >= count)
            loop.quit();
        else
            idle.start();
    });
    idle.start();
    loop.exec();
    return photoCount();
}

BareReceiver::BareReceiver()
{
    m_commandPort = listenOnLoopback(m_commandListener);
    m_photoPort = listenOnLoopback(m_photoListener);
}

BareReceiver::~BareReceiver()
{
    if (m_commandListener >= 0)
        ::close(m_commandListener);
    if (m_photoListener >= 0)
        ::close(m_photoListener);
}

int BareReceiver::receive(const QString& directory, const QStringList& names)
{
    const int command = ::accept(m_commandListener, nullptr, nullptr);
    std::thread drain([command] {
        char sink[4096];
        while (command >= 0 && ::read(command, sink, sizeof sink) > 0) {
        }
    });
    const int photo = ::accept(m_photoListener, nullptr, nullptr);
    std::string buffer;
    std::vector<char> chunk(1 << 20);
    std::size_t scanFrom = 0;
    int stored = 0;
    while (photo >= 0 && stored < names.size()) {
        const ssize_t got = ::read(photo, chunk.data(), chunk.size());
        if (got <= 0)
            break;
        std::size_t readStart = buffer.size();
        buffer.append(chunk.data(), static_cast<std::size_t>(got));
        std::size_t from = std::min(scanFrom, readStart);
        for (;;) {
            const std::size_t at = buffer.find(END_MARKER, from);
            if (at == std::string::npos || stored == names.size())
                break;
            const bool afterJpeg = at >= 6 && buffer.compare(at - 2, 2, "\xFF\xD9") == 0;
            if (at != readStart && !afterJpeg) {
                from = at + 1;
                continue;
            }
            const QString name = QString(names[stored]).replace(QLatin1Char('\\'), QLatin1Char('/'));
            const std::string path = QFile::encodeName(directory + name).toStdString();
            const std::string_view photoBytes = at > 4 ? std::string_view(buffer).substr(4, at - 4) : std::string_view();
            if (writeFile(path, photoBytes))
                ++stored;
            buffer.erase(0, at + END_MARKER.size());
            from = 0;
            readStart = std::string::npos;
        }
        scanFrom = buffer.size() > 3 ? buffer.size() - 3 : 0;
    }
    if (photo >= 0)
        ::close(photo);
    if (command >= 0)
        ::shutdown(command, SHUT_RDWR);
    drain.join();
    if (command >= 0)
        ::close(command);
    return stored;
}

qint64 statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(share * double(values.size()))) ;
    return values[std::min(values.size() - 1, index == 0 ? 0 : index - 1)];
}

std::vector<double> tickGaps(int tickMs, const std::function<bool()>& done, int limitMs,
                             const std::function<void()>& each)
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
    tick.start(tickMs);
    loop.exec();
    return gaps;
}

} // namespace velmora::bench
