#pragma once

#include <QEventLoop>
#include <QTimer>

#include <functional>

// Waits until `done` holds, at most `timeoutMs`, inside a real event loop, checking every 2 ms.
// QTest's own waits sleep between rounds of events (QTWEBENGINE_6_4_QUIRK qtest-waits-starve: they
// starved the web engine when it ran in the test's process, one hop at a time, and they still
// slow the helpers' pipes).
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}
