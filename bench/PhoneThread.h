#pragma once

// A phone on a thread of the benchmark's own process, so that what it sends
// and what the window does are read off one clock: `play` gets a simulator
// connected to `receiver` (no pauses between name and photo) and returns
// whether all went as it should. Runs the window's event loop until the
// phone is done; false when it could not connect or `play` failed.

#include "bench/BenchSupport.h"
#include "tools/PhoneSimulator.h"

#include <QEventLoop>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>

namespace velmora::bench {

inline bool playPhone(ReceivingWindow& receiver, const std::function<bool(tools::PhoneSimulator&)>& play)
{
    bool sent = false;
    std::unique_ptr<QThread> phone(QThread::create([&] {
        QString ignored;
        QTextStream out(&ignored);
        QTextStream err(stderr);
        tools::SimulatorOptions options;
        options.commandPort = receiver.commandPort();
        options.photoPort = receiver.photoPort();
        options.gapMs = 0;
        options.timeoutMs = 60000;
        tools::PhoneSimulator simulator(options, out, err);
        sent = simulator.connectToPc() && play(simulator);
    }));
    QEventLoop loop;
    QObject::connect(phone.get(), &QThread::finished, &loop, &QEventLoop::quit);
    phone->start();
    loop.exec();
    return sent;
}

} // namespace velmora::bench
