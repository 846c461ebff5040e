#pragma once

#include <QUrl>
#include <QWebEnginePage>

namespace quorvane {

// A page that shows nobody anything and goes nowhere: it renders the one router page it is
// opened with. Navigations away from it, new windows, dialogs and permission requests are all
// refused without a trace, and what the page writes to its console is dropped (it may quote the
// log).
class EnginePage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit EnginePage(QWebEngineProfile* profile, QObject* parent = nullptr);

    // Loads the empty page, which brings the page's renderer up before there is work for it.
    void warmUp();
    // Loads the router page: after it, the main frame goes nowhere else.
    void open(const QUrl& pageUrl);

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
    bool loadOfOurs_ = false;  // the next main-frame navigation is the one we started
};

}  // namespace quorvane
