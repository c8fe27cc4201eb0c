// Start-up: time from process start until both phone ports listen and the
// main window is shown, against the time a bare Qt window takes in the same
// run. Each is a fresh process, started `RUNS` times; medians are compared.
//
//   velmora-bench-startup            run the comparison and print the ratio
//   velmora-bench-startup bare|full  (internal) one start, prints "ready"

#include "app/MainWindow.h"
#include "link/TcpServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int RUNS = 15;

int startOnce(int argc, char* argv[], bool full)
{
    QApplication application(argc, argv);
    std::unique_ptr<QWidget> window;
    if (full) {
        velmora::app::MainWindowOptions options;
        options.commandPort = 0; // free ports: the measurement must not clash
        options.photoPort = 0;
        options.settingsFile = QStringLiteral("/nonexistent/set.ini");
        auto* main = new velmora::app::MainWindow(options);
        window.reset(main);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()) || main->commandServer()->serverPort() == 0
            || main->photoServer()->serverPort() == 0)
            return 1;
    } else {
        window = std::make_unique<QWidget>();
        window->resize(653, 441);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return 0;
}

double medianStartMs(const QString& program, const QString& mode)
{
    std::vector<double> times;
    for (int i = 0; i < RUNS; ++i) {
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(program, {mode});
        process.waitForStarted();
        while (!process.canReadLine() && process.state() != QProcess::NotRunning)
            process.waitForReadyRead(5000);
        times.push_back(timer.nsecsElapsed() / 1e6);
        process.waitForFinished();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    if (argc > 1)
        return startOnce(argc, argv, qstrcmp(argv[1], "full") == 0);
    QCoreApplication application(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    const double bare = medianStartMs(self, QStringLiteral("bare"));
    const double full = medianStartMs(self, QStringLiteral("full"));
    std::printf("start-up: bare Qt window %.1f ms, Velmora PC (ports listening, window shown) "
                "%.1f ms, ratio %.2f (median of %d starts each)\n", bare, full, full / bare, RUNS);
    return 0;
}
