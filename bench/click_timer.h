#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <functional>

class QEventLoop;
class QWidget;

namespace quorvane::bench {

// Times one exchange of the window with the router: from the press of a button until the window's
// busy cursor ends. The window ends it when the page it fetched has been released, which happens
// on the event loop's next turn after the last result box was written, so the time covers the
// fetch, the page text, the analysis and the writing of every box.
class ClickTimer : public QObject {
public:
    explicit ClickTimer(QWidget* window);

    // Runs `press` and then the event loop until the busy cursor has come and gone. Returns the
    // nanoseconds from just before `press` to the end of the busy cursor, or -1 when that did not
    // happen within `timeoutMs`.
    qint64 timeUntilResults(const std::function<void()>& press, int timeoutMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    QElapsedTimer timer_;
    QEventLoop* loop_ = nullptr;
    bool sawBusy_ = false;
    qint64 elapsedNs_ = -1;
};

}  // namespace quorvane::bench
