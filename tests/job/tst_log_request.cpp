#include "log_request.h"
#include "page_source.h"
#include "result_sentences.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTimer>
#include <QtTest>

using namespace quorvane;

Q_DECLARE_METATYPE(CompletionAction)
Q_DECLARE_METATYPE(LogKind)

namespace {

const QString kLog = QStringLiteral(
    "System log\r\n"
    "12/06/2026 10:00:00  WAN IP is 203.0.113.7\r\n"
    "12/06/2026 10:00:01  Firewall: blocked 198.51.100.9\r\n");

// How the stand-in router answers.
enum class Page { Log, Undated, Unreachable, OtherPage };
enum class ClearAnswer { Confirmed, Refused };

// Stands in for fetch, reader and engine: answers each navigation later, on the event loop, as
// the loader does, and notes what it was asked.
class StandInSource : public PageSource {
public:
    Page page = Page::Log;
    ClearAnswer clearAnswer = ClearAnswer::Confirmed;
    QStringList navigated;
    QStringList submitted;

    void Navigate(const QUrl& url) override {
        navigated << url.toString(QUrl::RemoveUserInfo);
        const QString blank = QStringLiteral("about:blank");
        if (url.toString() == blank) return later([this, blank] { emit DocumentComplete(blank); });
        later([this, url] {
            if (page == Page::Unreachable) {
                emit NavigateError(url.toString(QUrl::RemoveUserInfo),
                                   PageFailure::make(PageFailure::Kind::ConnectionRefused,
                                                     QStringLiteral("192.0.2.1:80")));
                return;
            }
            // The router's same-origin redirect: the clear must go where the log was read.
            document_ = page == Page::OtherPage ? QUrl("http://192.0.2.1/index.htm")
                                                : QUrl("http://192.0.2.1/doc/syslog.htm?r=1");
            emit DocumentComplete(document_.toString());
        });
    }
    void Submit(const QUrl& url) override {
        submitted << url.toString(QUrl::FullyEncoded);
        later([this, url] {
            if (clearAnswer == ClearAnswer::Refused)
                emit NavigateError(url.toString(),
                                   PageFailure::make(PageFailure::Kind::HttpStatus, {}, {}, 500));
            else
                emit DocumentComplete(url.toString());
        });
    }
    QString bodyText() const override {
        return page == Page::Undated ? QStringLiteral("Login required\r\n") : kLog;
    }
    QUrl documentUrl() const override { return document_; }

private:
    template <typename F>
    void later(F f) {
        QTimer::singleShot(0, this, f);
    }
    QUrl document_;
};

AnalysisClock Clock() {
    return {QDateTime(QDate(2026, 12, 7), QTime(9, 0), QTimeZone::utc()), QStringLiteral(":")};
}

}  // namespace

class TestLogRequest : public QObject {
    Q_OBJECT
private slots:
    void route_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("clearPending");
        QTest::addColumn<CompletionAction>("action");
        QTest::addColumn<LogKind>("kind");  // asked for, and expected when not ignored
        const auto read = CompletionAction::ReadLog;
        const auto ignore = CompletionAction::Ignore;
        const auto release = CompletionAction::ReleaseCleared;
        const auto sys = LogKind::System;
        const auto sec = LogKind::Security;
        QTest::newRow("system log") << "http://h:80/doc/syslog.htm" << false << read << sys;
        QTest::newRow("security log") << "http://h:80/doc/seclog.htm" << false << read << sec;
        QTest::newRow("capital letters") << "http://h/DOC/SYSLOG.HTM" << false << read << sys;
        QTest::newRow("both words: system") << "http://h/seclog/syslog" << false << read << sys;
        QTest::newRow("both words: security asked for")
            << "http://h/seclog/syslog" << false << read << sec;
        QTest::newRow("the other log") << "http://h/doc/seclog.htm" << false << ignore << sys;
        QTest::newRow("blank page") << "about:blank" << true << ignore << sys;
        QTest::newRow("other page") << "http://h/index.htm" << false << ignore << sys;
        QTest::newRow("a word in the host name only")
            << "http://syslog.example/doc/seclog.htm" << false << read << sec;
        QTest::newRow("cleared page")
            << "http://h/doc/seclog.htm?clearlog=0" << true << release << sec;
    }
    void route() {
        QFETCH(QString, url);
        QFETCH(bool, clearPending);
        QFETCH(CompletionAction, action);
        QFETCH(LogKind, kind);
        const CompletionRoute route = RouteCompletion(url, clearPending, kind);
        QCOMPARE(route.action, action);
        if (action != CompletionAction::Ignore) QCOMPARE(route.kind, kind);
    }

    // One press end to end, per rule of copying then clearing: copy on exactly 1, clear on
    // anything but 0, and never clear what was not read and kept.
    void press_data() {
        QTest::addColumn<Page>("page");
        QTest::addColumn<int>("copy");
        QTest::addColumn<int>("clear");
        QTest::addColumn<bool>("copyFolderBroken");
        QTest::addColumn<ClearAnswer>("clearAnswer");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<bool>("cleared");
        QTest::addColumn<QString>("says");  // the results box's first line, or the failure
        const auto ok = ClearAnswer::Confirmed;
        QTest::newRow("neither") << Page::Log << 0 << 0 << false << ok << false << false
                                 << "12/06/2026 10:00:01  Firewall: blocked 198.51.100.9";
        QTest::newRow("both ticked") << Page::Log << 1 << 1 << false << ok << true << true << "";
        QTest::newRow("copy greyed") << Page::Log << 2 << 0 << false << ok << false << false << "";
        QTest::newRow("clear greyed") << Page::Log << 0 << 2 << false << ok << false << true << "";
        QTest::newRow("failed copy: no clear")
            << Page::Log << 1 << 1 << true << ok << false << false << "could not be copied";
        QTest::newRow("nothing dated: no clear")
            << Page::Undated << 1 << 1 << false << ok << true << false
            << "The page held no dated log line, so the router's log was not cleared.";
        QTest::newRow("log not read: no copy, no clear")
            << Page::Unreachable << 1 << 1 << false << ok << false << false
            << "Read: The router at 192.0.2.1:80 refused the connection.";
        QTest::newRow("another page: no copy, no clear")
            << Page::OtherPage << 1 << 1 << false << ok << false << false
            << "Read: The router answered with another page instead of its log (/index.htm).";
        QTest::newRow("clear not confirmed")
            << Page::Log << 0 << 1 << false << ClearAnswer::Refused << false << true
            << "Clear: The router answered with an error (HTTP 500).";
    }
    void press() {
        QFETCH(Page, page);
        QFETCH(int, copy);
        QFETCH(int, clear);
        QFETCH(bool, copyFolderBroken);
        QFETCH(ClearAnswer, clearAnswer);
        QFETCH(bool, copied);
        QFETCH(bool, cleared);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString copyFile = dir.filePath(QStringLiteral("syslog.txt"));
        if (copyFolderBroken) QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("syslog.txt")));
        auto* source = new StandInSource;
        source->page = page;
        source->clearAnswer = clearAnswer;
        const LogPress press{
            LogKind::System,
            {QStringLiteral("p@ss"), QStringLiteral("192.0.2.1"), QStringLiteral("80")},
            copy,
            clear,
            dir.path() + u'/',
            {},
            QLocale(QLocale::English, QLocale::UnitedStates)};
        LogRequest request(press, source, Clock, [] { return QString(); });
        QSignalSpy read(&request, &LogRequest::logRead);
        QSignalSpy failed(&request, &LogRequest::failed);
        QSignalSpy finished(&request, &LogRequest::finished);
        request.start();
        QVERIFY(finished.wait(5'000));

        QCOMPARE(QFileInfo(copyFile).isFile() && QFileInfo(copyFile).size() > 0, copied);
        QCOMPARE(source->submitted, cleared ? QStringList{"http://192.0.2.1/doc/syslog.htm"
                                                          "?WINDWEB_URL=/doc/syslog.htm&clearlog=0"}
                                            : QStringList{});
        QString said;
        if (!failed.isEmpty()) {
            const auto step = failed.at(0).at(1).value<LogRequest::Step>();
            said = (step == LogRequest::Step::Read ? "Read: " : "Clear: ") +
                   FailureSentence(failed.at(0).at(0).value<PageFailure>());
        } else {
            const auto results = read.at(0).at(0).value<LogResults>();
            if (page == Page::Log) QCOMPARE(results.findings->wanIp, QStringLiteral("203.0.113.7"));
            said = KeepingLines(results.copyFailure, results.clearHeldBack, nullptr)
                       .value(0, results.logBoxText.section(QStringLiteral("\r\n"), 0, 0));
            if (copyFolderBroken) QVERIFY(said.endsWith("The router's log was not cleared."));
        }
        QVERIFY2(said.contains(says), qPrintable(said));
        QCOMPARE(request.clearPending(), cleared);
        QCOMPARE(read.count() + failed.count(), page == Page::Log ? 1 + failed.count() : 1);
    }
};

QTEST_GUILESS_MAIN(TestLogRequest)
#include "tst_log_request.moc"
