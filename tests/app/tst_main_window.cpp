#include "application_identity.h"
#include "caption_fit.h"
#include "process_tree.h"
#include "window_driver.h"

#include <QAccessible>
#include <QStandardPaths>
#include <QStyle>
#include <QtTest>

using namespace quorvane;

class TestMainWindow : public QObject {
    Q_OBJECT

    WindowDriver window_;

    template <typename T = QWidget>
    T* control(const char* name) {
        return window_.control<T>(name);
    }
    QString text(const char* name) { return window_.text(name); }

private slots:
    void init() { QVERIFY(window_.open()); }
    void cleanup() { window_.close(); }

    void layoutAsDesigned_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("caption");
        auto row = [](const char* name, const char* in, QRect twips, const char* caption) {
            QTest::newRow(name) << name << in << twips << caption;
        };
        row("Label1", "Form1", {120, 240, 855, 255}, "Password:");
        row("txtPass", "Form1", {840, 225, 2895, 285}, "");
        row("Label3", "Form1", {120, 735, 735, 255}, "Router IP:");
        row("txtIP", "Form1", {840, 720, 1095, 285}, "192.168.1.1");
        row("Label9", "Form1", {2640, 720, 375, 255}, "Port:");
        row("txtPort", "Form1", {3000, 705, 735, 285}, "80");
        row("Command1", "Form1", {4560, 600, 1095, 375}, "Go");
        row("Command2", "Form1", {4560, 1080, 1095, 375}, "Security Log");
        row("Check1", "Form1", {120, 1080, 1335, 255}, "Copy log(s)?");
        row("Check2", "Form1", {1560, 1080, 1335, 255}, "Clear log(s)?");
        row("Frame1", "Form1", {120, 1440, 6135, 5175}, "Results:");
        row("Label2", "Frame1", {120, 360, 1815, 255}, "WAN IP:");
        row("Label5", "Frame1", {2160, 360, 1815, 255}, "Primary DNS:");
        row("Label6", "Frame1", {4200, 360, 1815, 255}, "Secondary DNS:");
        row("txtWANIP", "Frame1", {120, 600, 1815, 375}, "");
        row("txtDNS1", "Frame1", {2160, 600, 1815, 375}, "");
        row("txtDNS2", "Frame1", {4200, 600, 1815, 375}, "");
        row("Label7", "Frame1", {120, 1080, 2535, 255}, "Router uptime (days h:m:s)");
        row("Label8", "Frame1", {2760, 1080, 2655, 255}, "ADSL uptime (days h:m:s)");
        row("txtRouterTime", "Frame1", {120, 1320, 2535, 375}, "");
        row("txtADSLTime", "Frame1", {2760, 1320, 2670, 375}, "");
        row("Label4", "Frame1", {120, 1800, 1575, 255}, "Firewall attacks:");
        row("txtLog", "Frame1", {120, 2040, 5895, 3045}, "");
    }
    void layoutAsDesigned() {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, twips);
        QFETCH(QString, caption);
        QWidget* widget = control(name.toLatin1().constData());
        QCOMPARE(widget->parentWidget()->objectName(), container);
        auto px = [](int t) { return (t + 7) / 15; };
        QCOMPARE(widget->geometry(),
                 QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
        QCOMPARE(WindowDriver::textOf(widget), caption);
        QVERIFY(widget->isVisible());
        QVERIFY(widget->isEnabled());
    }

    void windowAsDesigned() {
        QCOMPARE(window_.form->windowTitle(), QStringLiteral("Quorvane"));
        QCOMPARE(window_.form->size(), QSize(422, 446));
        QCOMPARE(window_.form->minimumSize(), window_.form->maximumSize());
        QVERIFY(!(window_.form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(window_.form->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(window_.form->windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(control<QCheckBox>("Check1")->checkState(), Qt::Unchecked);
        QCOMPARE(control<QCheckBox>("Check2")->checkState(), Qt::Unchecked);
        QCOMPARE(control<QLineEdit>("txtPass")->echoMode(), QLineEdit::Normal);
        auto* log = control<QPlainTextEdit>("txtLog");
        QCOMPARE(log->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        SetApplicationIdentity();
        SetApplicationIcon();
        QCOMPARE(QApplication::windowIcon().availableSizes(), QList<QSize>{QSize(32, 32)});
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Quorvane"));
    }

    // The program sets its icon on this signal: it must come, and only once.
    void firstFrameIsSaidOnce() {
        Form1 form;
        QSignalSpy drawn(&form, &Form1::firstFrameDrawn);
        form.show();
        QTRY_COMPARE(drawn.count(), 1);
        form.repaint();
        QCoreApplication::processEvents();
        QCOMPARE(drawn.count(), 1);
    }

    void everyCaptionIsWhole() {
        QCOMPARE(std::max(0, CaptionOverflow(window_.form.get(), window_.form->font())), 0);
    }

    void designedBrowserIsMovedOutOfSight() {
        QWidget* browser = control("WebBrowser0");
        QCOMPARE(browser->geometry(), QRect(-17, 48, 17, 17));
        QVERIFY(!browser->isVisible());
    }

    void tabOrderAsDesigned() {
        const QStringList expected = {
            "txtPass",       "Command1", "txtIP",   "Check1",   "Check2", "txtPort",  "txtADSLTime",
            "txtRouterTime", "txtDNS2",  "txtDNS1", "txtWANIP", "txtLog", "Command2", "txtPass"};
        QTRY_COMPARE(QApplication::focusWidget(), control("txtPass"));
        for (qsizetype i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), expected[i]);
        }
    }

    void boxesAreAnnouncedByTheirLabels_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("name");
        QTest::newRow("txtPass") << "txtPass"
                                 << "Password";
        QTest::newRow("txtIP") << "txtIP"
                               << "Router IP";
        QTest::newRow("txtPort") << "txtPort"
                                 << "Port";
        QTest::newRow("txtWANIP") << "txtWANIP"
                                  << "WAN IP";
        QTest::newRow("txtDNS1") << "txtDNS1"
                                 << "Primary DNS";
        QTest::newRow("txtDNS2") << "txtDNS2"
                                 << "Secondary DNS";
        QTest::newRow("txtRouterTime") << "txtRouterTime"
                                       << "Router uptime (days h:m:s)";
        QTest::newRow("txtADSLTime") << "txtADSLTime"
                                     << "ADSL uptime (days h:m:s)";
        QTest::newRow("txtLog") << "txtLog"
                                << "Firewall attacks";
    }
    void boxesAreAnnouncedByTheirLabels() {
        QFETCH(QString, box);
        QFETCH(QString, name);
        QAccessibleInterface* accessible =
            QAccessible::queryAccessibleInterface(control(box.toLatin1().constData()));
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), name);
    }

    void enterInAnInputBoxPressesGo() {
        routersim::RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        window_.typeLogin(sim, QStringLiteral("demo"));
        QTest::keyClick(control("txtPort"), Qt::Key_Return);
        QVERIFY(WaitUntil([this] { return !window_.busy(); }, WindowDriver::kWaitMs));
        // The password follows the router's challenge to the same page.
        QCOMPARE(sim.requests().size(), std::size_t(2));
        QCOMPARE(sim.requests()[0].target, std::string("/doc/syslog.htm"));
        QCOMPARE(sim.requests()[1].target, std::string("/doc/syslog.htm"));
    }

    void appFolderHasOneTrailingSeparator_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::newRow("folder") << "/opt/tools"
                                << "/opt/tools/";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("already ends in one") << "/opt/tools/"
                                             << "/opt/tools/";
    }
    void appFolderHasOneTrailingSeparator() {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QCOMPARE(AppFolderFrom(path), folder);
    }

    void appFolderIsTheProgramFolder() {
        QCOMPARE(window_.form->appFolder(), window_.appDir.path() + u'/');
        QCOMPARE(Form1().appFolder(), QCoreApplication::applicationDirPath() + u'/');
    }

    void eachButtonFetchesItsPage_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("path");
        QTest::newRow("Go") << "Command1"
                            << "/doc/syslog.htm";
        QTest::newRow("Security Log") << "Command2"
                                      << "/doc/seclog.htm";
    }
    void eachButtonFetchesItsPage() {
        QFETCH(QString, button);
        QFETCH(QString, path);
        const QString password = QStringLiteral("a@b:c/d#e%f g");
        routersim::RouterSim sim({.password = password.toStdString()});
        QVERIFY(sim.start());
        window_.typeLogin(sim, password);
        // The web engine starts with the first page that needs it, never with the window.
        QVERIFY(!ProcessTree::ofThisProcess().runs("quorvane-engine"));
        QVERIFY(window_.press(button.toLatin1().constData()));
        QVERIFY(ProcessTree::ofThisProcess().runs("quorvane-engine"));
        const auto requests = sim.requests();
        // The first request carries no password; the answer to the router's challenge does.
        QCOMPARE(requests.size(), std::size_t(2));
        QCOMPARE(requests[0].status, 401);
        QVERIFY(requests[0].authorization.empty());
        QCOMPARE(QString::fromStdString(requests[1].target), path);
        QCOMPARE(requests[1].status, 200);  // the password arrived intact
        auto* pass = control<QLineEdit>("txtPass");
        QCOMPARE(pass->echoMode(), QLineEdit::Password);
        QCOMPARE(pass->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, pass),
                 int('*'));
    }

    void onlyALaterPressEmptiesTheLogBox() {
        routersim::RouterSim sim({.password = "demo", .fault = routersim::Fault::SlowBody});
        QVERIFY(sim.start());
        window_.typeLogin(sim, QStringLiteral("demo"));
        auto* log = control<QPlainTextEdit>("txtLog");
        log->setPlainText(QStringLiteral("typed by the user"));
        QTest::mouseClick(control("Command1"), Qt::LeftButton);
        QCOMPARE(log->toPlainText(), QStringLiteral("typed by the user"));
        QVERIFY(window_.busy());                                 // busy while the page loads
        QTest::mouseClick(control("Command1"), Qt::LeftButton);  // replaces the loading instance
        QCOMPARE(log->toPlainText(), QString());
        QVERIFY(WaitUntil([this] { return !window_.busy(); }, WindowDriver::kWaitMs));
        QCOMPARE(text("txtWANIP"), ValueAfter(sim.systemLog(), QStringLiteral("WAN IP is ")));
    }

    void unusablePortIsSaidAndNothingIsSent() {
        routersim::RouterSim sim;
        QVERIFY(sim.start());
        window_.typeLogin(sim, QStringLiteral("quorvane"));
        control<QLineEdit>("txtPort")->setText(QStringLiteral("80a"));
        QVERIFY(window_.press("Command1"));
        QVERIFY(text("txtLog").contains(QStringLiteral("is not a number")));
        QVERIFY(sim.requests().empty());
    }

    // The whole road of one request: copy, clear, analyse the text read before the clear.
    void goWithCopyAndClear() {
        routersim::RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        const std::string log = sim.systemLog();
        window_.typeLogin(sim, QStringLiteral("demo"));
        window_.tick("Check1");
        window_.tick("Check2");
        QVERIFY(window_.press("Command1"));

        QCOMPARE(sim.clearsPerformed(), 1);
        QVERIFY(sim.systemLog().empty() || sim.systemLog().find("Firewall:") == std::string::npos);
        QCOMPARE(text("txtLog"), NewestFirst(log, QStringLiteral("Firewall:")));
        QCOMPARE(text("txtWANIP"), ValueAfter(log, QStringLiteral("WAN IP is ")));
        QCOMPARE(text("txtDNS1"), ValueAfter(log, QStringLiteral("DNS Primary IP address is ")));
        QCOMPARE(text("txtDNS2"), ValueAfter(log, QStringLiteral("DNS Secondary IP address is ")));
        QVERIFY(text("txtRouterTime").contains(QStringLiteral(" day(s) ")));
        QVERIFY(text("txtADSLTime").contains(QStringLiteral(" day(s) ")));

        const QString header = QStringLiteral("Router log saved on ");
        const QByteArray copy = window_.copyFile();
        QVERIFY(copy.startsWith(header.toUtf8()));
        QStringList dated;
        for (const QString& line : QString::fromStdString(log).split(u'\n'))
            if (line.contains(u'/')) dated << line;
        QCOMPARE(QString::fromUtf8(copy).section(QStringLiteral("\r\n"), 1),
                 dated.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    }

    // An install that the user cannot write, as under /usr: the copy goes to the user's data
    // folder, the log is cleared, and the window says where the copy went once in a session.
    void copyGoesToTheUserDataFolderWhenTheProgramFolderCannotTakeIt() {
        QTemporaryDir dataHome;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
        const QString copyFile =
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/syslog.txt";
        // No one, root included, can write in a folder whose path leads through a file.
        QFile program(window_.appDir.filePath(QStringLiteral("program")));
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.close();
        QVERIFY(window_.open(program.fileName()));
        routersim::RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        const std::string log = sim.systemLog();
        window_.typeLogin(sim, QStringLiteral("demo"));
        window_.tick("Check1");
        window_.tick("Check2");

        QVERIFY(window_.press("Command1"));
        const QStringList lines = text("txtLog").split(u'\n');
        QCOMPARE(lines.first(), program.fileName() +
                                    "/syslog.txt cannot be written (Not a directory), so the log "
                                    "is copied to " +
                                    copyFile + ".");
        QCOMPARE(lines.mid(1).join(u'\n'), NewestFirst(log, QStringLiteral("Firewall:")));
        QCOMPARE(sim.clearsPerformed(), 1);

        sim.setSystemLog(log);
        QVERIFY(window_.press("Command1"));
        QCOMPARE(text("txtLog"), NewestFirst(log, QStringLiteral("Firewall:")));
        QCOMPARE(sim.clearsPerformed(), 2);
        QFile copy(copyFile);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll().count("Router log saved on "), 2);
    }

    void secondGoAfterAClearIsAnalysed() {
        routersim::RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        const std::string log = sim.systemLog();
        window_.typeLogin(sim, QStringLiteral("demo"));
        window_.tick("Check2");
        QVERIFY(window_.press("Command1"));
        QVERIFY(!window_.form->clearPending() || sim.clearsPerformed() == 1);
        sim.setSystemLog(log);
        window_.tick("Check2", Qt::Unchecked);
        QVERIFY(window_.press("Command1"));
        QCOMPARE(text("txtLog"), NewestFirst(log, QStringLiteral("Firewall:")));
        QCOMPARE(sim.clearsPerformed(), 1);
    }

    void securityLogListsThisYear() {
        routersim::RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        window_.typeLogin(sim, QStringLiteral("demo"));
        control<QLineEdit>("txtWANIP")->setText(QStringLiteral("kept"));
        QVERIFY(window_.press("Command2"));
        const QString year = QString::number(QDate::currentDate().year());
        QCOMPARE(text("txtLog"), NewestFirst(sim.securityLog(), year, true));
        QCOMPARE(text("txtWANIP"), QStringLiteral("kept"));
    }

    // Whether the log is static markup or written by scripts and shaped by style sheets, the
    // window finds in it what a browser shows.
    void everyPageIsReadAsABrowserShowsIt_data() {
        QTest::addColumn<routersim::PageStyle>("style");
        QTest::addColumn<bool>("plainMarkup");
        QTest::addColumn<QString>("button");
        using S = routersim::PageStyle;
        QTest::addColumn<bool>("engine");  // only the web engine can show it
        QTest::newRow("pre, static markup") << S::Pre << true << "Command1" << false;
        QTest::newRow("pre, styled page") << S::Pre << false << "Command1" << true;
        QTest::newRow("br lines, static markup") << S::BrLines << true << "Command1" << false;
        QTest::newRow("div lines") << S::DivLines << false << "Command1" << true;
        QTest::newRow("text area") << S::TextArea << true << "Command1" << false;
        QTest::newRow("script array") << S::ScriptArray << true << "Command1" << true;
        QTest::newRow("script file") << S::ScriptFile << false << "Command1" << true;
        QTest::newRow("script file, security log") << S::ScriptFile << false << "Command2" << true;
        QTest::newRow("text area filled by script")
            << S::ScriptTextArea << true << "Command1" << true;
        QTest::newRow("hidden field split into rows")
            << S::HiddenFieldRows << true << "Command1" << true;
        QTest::newRow("styled lines, hidden help") << S::StyledLines << true << "Command1" << true;
        QTest::newRow("a dozen files, some missing")
            << S::ManyResources << false << "Command1" << true;
    }
    void everyPageIsReadAsABrowserShowsIt() {
        QFETCH(routersim::PageStyle, style);
        QFETCH(bool, plainMarkup);
        QFETCH(QString, button);
        QFETCH(bool, engine);
        routersim::RouterSim sim({.password = "demo", .style = style, .plainMarkup = plainMarkup});
        QVERIFY(sim.start());
        window_.typeLogin(sim, QStringLiteral("demo"));
        QVERIFY(window_.press(button.toLatin1().constData()));
        QCOMPARE(ProcessTree::ofThisProcess().runs("quorvane-engine"), engine);
        if (button == QLatin1String("Command2")) {
            const QString year = QString::number(QDate::currentDate().year());
            QCOMPARE(text("txtLog"), NewestFirst(sim.securityLog(), year, true));
            return;
        }
        const std::string log = sim.systemLog();
        QCOMPARE(text("txtWANIP"), ValueAfter(log, QStringLiteral("WAN IP is ")));
        QCOMPARE(text("txtDNS1"), ValueAfter(log, QStringLiteral("DNS Primary IP address is ")));
        QCOMPARE(text("txtLog"), NewestFirst(log, QStringLiteral("Firewall:")));
        QVERIFY(text("txtRouterTime").contains(QStringLiteral(" day(s) ")));
    }

    // What the first press needs is up while the user types, and the press takes it over: the
    // engine's helper is never started twice, and a page reader waits again for the next press.
    void firstPressFindsItsHelpersReady() {
        window_.close();
        QVERIFY(window_.open({}, true));
        const auto helpers = [](const QByteArray& program) {
            QList<qint64> found;
            for (const qint64 pid : ProcessTree::ofThisProcess().pids) {
                const QByteArray path = ProcessTree::commandLine(pid).split(' ').value(0);
                if (ProcessTree::alive(pid) && path.endsWith('/' + program)) found << pid;
            }
            return found;
        };
        QVERIFY(WaitUntil(
            [&] {
                return !helpers("quorvane-page-reader").isEmpty() &&
                       !helpers("quorvane-engine").isEmpty();
            },
            WindowDriver::kWaitMs));
        const QList<qint64> engine = helpers("quorvane-engine");
        QCOMPARE(engine.size(), 1);

        routersim::RouterSim sim({.password = "demo", .style = routersim::PageStyle::ScriptFile});
        QVERIFY(sim.start());
        window_.typeLogin(sim, QStringLiteral("demo"));
        QVERIFY(window_.press("Command1"));
        QCOMPARE(text("txtWANIP"), ValueAfter(sim.systemLog(), QStringLiteral("WAN IP is ")));
        QCOMPARE(helpers("quorvane-engine"), engine);
        QVERIFY(WaitUntil([&] { return helpers("quorvane-page-reader").size() == 1; },
                          WindowDriver::kWaitMs));
    }

    void wrongPasswordCopiesAndClearsNothing() {
        routersim::RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        window_.typeLogin(sim, QStringLiteral("wrong"));
        window_.tick("Check1");
        window_.tick("Check2");
        QVERIFY(window_.press("Command1"));
        QVERIFY2(text("txtLog").contains(QStringLiteral("refused the password (HTTP 401")),
                 qPrintable(text("txtLog")));
        QCOMPARE(sim.clearRequestCount(), 0);
        QVERIFY(window_.copyFile().isEmpty());
        QCOMPARE(text("txtWANIP"), QString());
    }

    void failedCopyLeavesTheRouterLogUncleared() {
        routersim::RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        const std::string log = sim.systemLog();
        QVERIFY(QDir(window_.appDir.path()).mkdir(QStringLiteral("syslog.txt")));
        window_.typeLogin(sim, QStringLiteral("demo"));
        window_.tick("Check1");
        window_.tick("Check2");
        QVERIFY(window_.press("Command1"));
        QCOMPARE(sim.clearRequestCount(), 0);
        QCOMPARE(sim.systemLog(), log);
        const QStringList lines = text("txtLog").split(u'\n');
        QVERIFY2(lines.first().contains(QStringLiteral("could not be copied")),
                 qPrintable(lines.first()));
        QVERIFY(lines.first().contains(QStringLiteral("not cleared")));
        QCOMPARE(lines.mid(1).join(u'\n'), NewestFirst(log, QStringLiteral("Firewall:")));
        QCOMPARE(text("txtWANIP"), ValueAfter(log, QStringLiteral("WAN IP is ")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
