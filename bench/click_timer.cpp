#include "click_timer.h"

#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

namespace quorvane::bench {

ClickTimer::ClickTimer(QWidget* window) : QObject(window), window_(window) {
    window_->installEventFilter(this);
}

qint64 ClickTimer::timeUntilResults(const std::function<void()>& press, int timeoutMs) {
    QEventLoop loop;
    loop_ = &loop;
    sawBusy_ = false;
    elapsedNs_ = -1;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    timer_.start();
    press();
    if (elapsedNs_ < 0) loop.exec();
    loop_ = nullptr;
    return elapsedNs_;
}

// Setting and unsetting a widget's cursor sends it a CursorChange event at once, so the time is
// taken inside the very call that ends the busy state.
bool ClickTimer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::CursorChange && loop_) {
        if (window_->cursor().shape() == Qt::BusyCursor) {
            sawBusy_ = true;
        } else if (sawBusy_ && elapsedNs_ < 0) {
            elapsedNs_ = timer_.nsecsElapsed();
            loop_->quit();
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quorvane::bench
