#pragma once

#include "log_kind.h"
#include "log_request.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quorvane {

class PageReaders;
class WebBrowserCollection;

// The folder of the program with exactly one trailing separator: the copy file's folder.
QString AppFolderFrom(const QString& applicationPath);

// The one window of Quorvane: the router's login, the two log requests and the results.
// Controls carry their names as object names, so that tests and accessibility tools find them.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // `applicationPath` is the folder of the program; empty means the running executable's.
    explicit Form1(const QString& applicationPath = {}, QWidget* parent = nullptr);
    ~Form1() override;

    // Once the window has drawn its first frame, and again after each press, the helpers the next
    // press reads with are made ready while the user types: the first press is then as quick as
    // any later one. Nothing is started before that frame.
    void prepareHelpersWhenShown() { prepareWhenShown_ = true; }

    const QString& appFolder() const { return AppFolder; }
    // The press under way has sent its clear request.
    bool clearPending() const { return request_ && request_->clearPending(); }

signals:
    // Once, from the event loop, when the window's first frame is on the screen: what does not
    // show in that frame can be done from here on.
    void firstFrameDrawn();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    void describeForAssistiveTechnology();
    void setTabOrder();
    void endBusy();
    void Form_Load(const QString& applicationPath);
    void Command1_Click();
    void Command2_Click();
    void requestLog(LogKind kind);
    LogPress typedPress(LogKind kind) const;
    void WebBrowser_DocumentComplete(int index);
    void showResults(const LogResults& results);
    void showFailure(const PageFailure& failure, LogRequest::Step step);

    QString AppFolder;
    // The press under way, held by WebBrowser(1): it goes with the instance at the next press.
    QPointer<LogRequest> request_;
    // txtLog has said where copies go when AppFolder cannot take them.
    bool CopyFallbackSaid = false;
    // txtLog has said that the web engine runs on the computer's network.
    bool EngineNetworkSaid = false;
    bool prepareWhenShown_ = false;
    bool frameDrawn_ = false;  // from then on, the helpers are kept ready when that was asked for

    QLabel* Label1;
    QLineEdit* txtPass;
    QLabel* Label3;
    QLineEdit* txtIP;
    QLabel* Label9;
    QLineEdit* txtPort;
    QPushButton* Command1;
    QPushButton* Command2;
    QCheckBox* Check1;
    QCheckBox* Check2;
    QGroupBox* Frame1;
    QLabel* Label2;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* txtWANIP;
    QLineEdit* txtDNS1;
    QLineEdit* txtDNS2;
    QLabel* Label7;
    QLabel* Label8;
    QLineEdit* txtRouterTime;
    QLineEdit* txtADSLTime;
    QLabel* Label4;
    QPlainTextEdit* txtLog;
    WebBrowserCollection* WebBrowser;
    PageReaders* readers_;  // the helpers every press reads its pages with
};

}  // namespace quorvane
