// Loaded into an installed Quorvane with LD_PRELOAD, so that a test can run the program exactly
// as installed, without a command line or test hook of its own. Once the program's event loop
// runs, it types the login given in the environment, ticks "Copy log(s)?", presses "Go", waits
// until the request is over and prints the six result boxes as one JSON object on stdout; then
// it ends the program: exit code 0 when the request ended, 1 when it did not within the time.
//
// QUORVANE_DRIVE_ADDRESS, QUORVANE_DRIVE_PORT, QUORVANE_DRIVE_PASSWORD: what to type.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// The window alone is driven: the program's helper processes (the page reader, the web engine's)
// start without this library, which they would not know what to do with.
const bool kKeptFromHelpers = [] {
    ::unsetenv("LD_PRELOAD");
    return true;
}();

constexpr int kRequestTimeoutMs = 30'000;

QWidget* FindWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("Form1")) return widget;
    return nullptr;
}

void Finish(QWidget* form, int exitCode) {
    QJsonObject boxes;
    for (const char* name : {"txtWANIP", "txtDNS1", "txtDNS2", "txtRouterTime", "txtADSLTime"}) {
        if (auto* box = form->findChild<QLineEdit*>(QLatin1String(name)))
            boxes.insert(QLatin1String(name), box->text());
    }
    if (auto* log = form->findChild<QPlainTextEdit*>(QStringLiteral("txtLog")))
        boxes.insert(QStringLiteral("txtLog"), log->toPlainText());
    std::fputs(QJsonDocument(boxes).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fflush(stdout);
    QCoreApplication::exit(exitCode);
}

void Drive() {
    QWidget* form = FindWindow();
    if (!form) {
        std::fputs("no window named Form1\n", stderr);
        QCoreApplication::exit(2);
        return;
    }
    const std::pair<const char*, const char*> typed[] = {{"txtPass", "QUORVANE_DRIVE_PASSWORD"},
                                                         {"txtIP", "QUORVANE_DRIVE_ADDRESS"},
                                                         {"txtPort", "QUORVANE_DRIVE_PORT"}};
    for (const auto& [box, variable] : typed)
        form->findChild<QLineEdit*>(QLatin1String(box))->setText(qEnvironmentVariable(variable));
    form->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
    form->findChild<QAbstractButton*>(QStringLiteral("Command1"))->click();

    // The window shows a busy cursor from the press until the exchange with the router is over.
    auto* watch = new QTimer(form);
    const QDeadlineTimer deadline(kRequestTimeoutMs);
    QObject::connect(watch, &QTimer::timeout, form, [form, watch, deadline] {
        const bool over = form->cursor().shape() != Qt::BusyCursor;
        if (!over && !deadline.hasExpired()) return;
        watch->stop();
        Finish(form, over ? 0 : 1);
    });
    watch->start(20);
}

// Runs while QApplication is being made; the window exists once the event loop turns.
void Schedule() {
    QMetaObject::invokeMethod(QCoreApplication::instance(), Drive, Qt::QueuedConnection);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Schedule)
