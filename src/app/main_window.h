#pragma once

#include "log_kind.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quorvane {

class WebBrowserCollection;
struct RouterLogin;

// The folder of the program with exactly one trailing separator: the copy file's folder.
QString AppFolderFrom(const QString& applicationPath);

// The one window of Quorvane: the router's login, the two log requests and the results.
// Controls carry their names as object names, so that tests and accessibility tools find them.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // `applicationPath` is the folder of the program; empty means the running executable's.
    explicit Form1(const QString& applicationPath = {}, QWidget* parent = nullptr);

    const QString& appFolder() const { return AppFolder; }
    bool clearPending() const { return ClearPending; }

private:
    void createControls();
    void describeForAssistiveTechnology();
    void setTabOrder();
    void endBusy();
    void Form_Load(const QString& applicationPath);
    void Command1_Click();
    void Command2_Click();
    void requestLog(LogKind kind);
    RouterLogin typedLogin() const;
    void WebBrowser_DocumentComplete(int index, const QString& url);
    void WebBrowser_NavigateError(int index, const QString& url, const QString& message);

    QString AppFolder;
    bool ClearPending = false;
    // The log the last press asked for: its completions are read as that log.
    LogKind RequestedLog{};
    // txtLog has said where copies go when AppFolder cannot take them.
    bool CopyFallbackSaid = false;
    // txtLog has said that the web engine runs on the computer's network.
    bool EngineNetworkSaid = false;

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
};

}  // namespace quorvane
