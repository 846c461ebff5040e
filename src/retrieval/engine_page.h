#pragma once

#include <QUrl>
#include <QWebEnginePage>

namespace quorvane {

// A page that shows nobody anything and goes nowhere: it renders the one router page it was
// given. Navigations away from it, new windows, dialogs and permission requests are all refused
// without a trace, and what the page writes to its console is dropped (it may quote the log).
class EnginePage : public QWebEnginePage {
    Q_OBJECT
public:
    EnginePage(QWebEngineProfile* profile, const QUrl& pageUrl, QObject* parent = nullptr);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& origin, const QString& message) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;

private:
    QUrl pageUrl_;
    bool pageRequested_ = false;
};

}  // namespace quorvane
