#pragma once

#include <QEventLoop>
#include <QTimer>

#include <functional>

// Waits until `done` holds, at most `timeoutMs`, inside a real event loop. QTest's own waits
// sleep between rounds of events, which suits a widget but starves the web engine: it runs its
// tasks on this thread's event loop, one hop at a time.
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
