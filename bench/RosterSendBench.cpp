// The look over the roster before it is sent, on a clean roster of 5,000
// students, as the user meets it: 按钮1 clicked in the real window until the
// phone (a loopback socket) has the whole roster, with the look and without
// it, and the look alone against the code-page conversion every send does.

#include "app/MainWindow.h"
#include "link/PhoneLink.h"
#include "link/TcpServer.h"
#include "platform/Codepage.h"
#include "roster/RosterCheck.h"
#include "roster/RosterPanel.h"
#include "widgets/CrlfTextEdit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int STUDENTS = 5000;
constexpr int RUNS = 15;

// 18-character ID numbers with their GB 11643 check character.
std::string residentId(int serial)
{
    static constexpr int WEIGHTS[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    char digits[18];
    std::snprintf(digits, sizeof digits, "33010120100101%03d", serial % 1000);
    std::string id(digits);
    id[13] = static_cast<char>('0' + serial / 1000);
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (id[static_cast<std::size_t>(i)] - '0') * WEIGHTS[i];
    return id + "10X98765432"[sum % 11];
}

std::string cleanRoster()
{
    std::string roster;
    for (int i = 0; i < STUDENTS; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "学生%04d", i);
        roster += "3301010001\t" + std::string(name) + "\t" + residentId(i) + "\t70" + std::to_string(i % 10) + "班\r\n";
    }
    return roster;
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double medianMs(const std::function<void()>& run, int runs = RUNS)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(std::move(times));
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::string roster = cleanRoster();
    if (!velmora::roster::checkRoster(roster).empty()) {
        std::fprintf(stderr, "the benchmark's roster is not clean\n");
        return 1;
    }

    const double convert = medianMs([&] { volatile auto size = velmora::platform::utf8ToGbk("STAT||" + roster + "||END").size(); (void)size; });
    const double look = medianMs([&] { volatile auto size = velmora::roster::checkRoster(roster).size(); (void)size; });
    std::printf("look over %d clean rows: %.2f ms; the send's code-page conversion: %.2f ms; ratio %.2f\n",
                STUDENTS, look, convert, look / convert);

    QTemporaryDir dir;
    velmora::app::MainWindowOptions options;
    options.commandPort = 0;
    options.photoPort = 0;
    options.settingsFile = dir.filePath(QStringLiteral("set.ini"));
    options.startPanel = false;
    velmora::app::MainWindow window(options);
    QSignalSpy connected(window.commandServer(), &velmora::link::TcpServer::clientConnected);
    QTcpSocket phone;
    phone.connectToHost(QHostAddress::LocalHost, window.commandServer()->serverPort());
    if (!phone.waitForConnected(5000) || !connected.wait(5000))
        return 1;
    window.findChild<velmora::widgets::CrlfTextEdit*>(QStringLiteral("编辑框2"))
        ->setCrlfText(QString::fromStdString(roster));
    auto* send = window.findChild<QPushButton*>(QStringLiteral("按钮1"));
    const qint64 expected = static_cast<qint64>(velmora::platform::utf8ToGbk("STAT||" + roster + "||END").size());
    const auto clickUntilReceived = [&] {
        send->click();
        qint64 received = 0;
        while (received < expected && phone.waitForReadyRead(5000))
            received += phone.readAll().size();
    };
    // The two kinds of click take turns, so that neither meets a warmer
    // socket or allocator than the other.
    auto* link = window.findChild<velmora::link::PhoneLink*>();
    auto* panel = window.findChild<velmora::roster::RosterPanel*>();
    const auto lookFirst = [panel](const QString& text) { return panel->confirmSend(text); };
    std::vector<double> withTimes;
    std::vector<double> withoutTimes;
    for (int i = 0; i < RUNS; ++i) {
        link->setRosterCheck(lookFirst);
        withTimes.push_back(medianMs(clickUntilReceived, 1));
        link->setRosterCheck({});
        withoutTimes.push_back(medianMs(clickUntilReceived, 1));
    }
    const double withLook = median(withTimes);
    const double without = median(withoutTimes);
    std::printf("按钮1 until the phone has %d rows: %.2f ms with the look, %.2f ms without; ratio %.2f "
                "(median of %d each)\n", STUDENTS, withLook, without, withLook / without, RUNS);
    return 0;
}
