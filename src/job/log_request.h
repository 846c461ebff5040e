#pragma once

#include "page_completion.h"
#include "page_failure.h"

#include <QObject>
#include <QString>

#include <functional>

namespace quorvane {

class PageSource;

// One press, from the button to the router's answer to the clear: it owns everything the press
// needs and learns (the press's wishes, the login, which its page source keeps, the clear's
// state) and drives fetch, read, analyse, copy and clear, in that order. The window creates one
// per press, places what it reports and drops it at the next press, which stops whatever it
// still has under way.
//
// The rules of keeping live here, in one place: the router is asked to clear its log only after
// the log was read and, when a copy was asked for, kept (never after a failed copy, never for a
// page without a dated line), and the clear goes to the router that was read.
class LogRequest : public QObject {
    Q_OBJECT
public:
    enum class Step {
        Read,   // no log was read
        Clear,  // the log was read; the router did not confirm the clear
    };
    Q_ENUM(Step)

    using Clock = std::function<AnalysisClock()>;
    // What txtLog holds when the analysis runs: its findings go in front of it.
    using LogBoxText = std::function<QString()>;

    // Takes `source` over; nothing is sent before start().
    LogRequest(LogPress press, PageSource* source, Clock clock, LogBoxText logBoxText,
               QObject* parent = nullptr);

    // Starts the press. A login that cannot make a URL fails at once, inside this call.
    void start();

    // A clear request was sent, or its answer has come.
    bool clearPending() const { return clearPending_; }

signals:
    // A page of the press completed or failed, whichever: the password box is masked from now.
    void pageEnded();
    void logRead(const quorvane::LogResults& results);
    void failed(const quorvane::PageFailure& failure, quorvane::LogRequest::Step step);
    // Nothing of the press is under way any more.
    void finished();

private:
    void onDocumentComplete(const QString& url);
    void onNavigateError(const QString& url, const PageFailure& failure);
    void fail(const PageFailure& failure);

    LogPress press_;  // without the password once started: the page source keeps it
    PageSource* source_;
    Clock clock_;
    LogBoxText logBoxText_;
    bool clearPending_ = false;
};

}  // namespace quorvane
