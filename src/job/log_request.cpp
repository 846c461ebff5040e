#include "log_request.h"

#include "page_source.h"

namespace quorvane {

LogRequest::LogRequest(LogPress press, PageSource* source, Clock clock, LogBoxText logBoxText,
                       QObject* parent)
    : QObject(parent),
      press_(std::move(press)),
      source_(source),
      clock_(std::move(clock)),
      logBoxText_(std::move(logBoxText)) {
    source_->setParent(this);
    connect(source_, &PageSource::DocumentComplete, this, &LogRequest::onDocumentComplete);
    connect(source_, &PageSource::NavigateError, this, &LogRequest::onNavigateError);
}

void LogRequest::start() {
    const RouterUrl request = ComposeRouterUrl(press_.login, LogPagePath(press_.kind));
    press_.login.password.clear();
    if (request.failure) {
        fail(*request.failure);
        return;
    }
    source_->Navigate(request.url);
}

void LogRequest::onDocumentComplete(const QString& url) {
    emit pageEnded();
    const CompletionRoute route = RouteCompletion(url, clearPending_, press_.kind);
    switch (route.action) {
        case CompletionAction::Ignore:
            if (url == QLatin1String(kBlankPage)) {
                emit finished();
            } else {
                // Said as a failure, never passed over in silence.
                const QUrl page(url);
                fail(
                    PageFailure::make(PageFailure::Kind::OtherPath, page.authority(), page.path()));
            }
            return;
        case CompletionAction::ReleaseCleared:
            source_->Navigate(QUrl(QString::fromLatin1(kBlankPage)));
            return;
        case CompletionAction::ReadLog:
            break;
    }

    const LogPageOutcome outcome =
        ReadLogPage(source_->bodyText(), press_, source_->documentUrl(), logBoxText_(), clock_());
    clearPending_ = outcome.clearPending;
    if (outcome.clearPending) {
        source_->Submit(outcome.followUp);
    } else {
        source_->Navigate(outcome.followUp);
    }
    emit logRead(outcome.results);
}

void LogRequest::onNavigateError(const QString& /*url*/, const PageFailure& failure) {
    emit pageEnded();
    fail(failure);
}

void LogRequest::fail(const PageFailure& failure) {
    emit failed(failure, clearPending_ ? Step::Clear : Step::Read);
    emit finished();
}

}  // namespace quorvane
