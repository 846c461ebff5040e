#include "event_wait.h"

#include <QEventLoop>
#include <QTimer>

namespace quorvane::bench {

void RunUntil(const bool& done, int timeoutMs) {
    if (done) return;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
}

void PauseBetweenPresses() {
    QEventLoop loop;
    QTimer::singleShot(kPauseBetweenPressesMs, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace quorvane::bench
