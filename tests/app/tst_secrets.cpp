#include "window_driver.h"

#include <QStringDecoder>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

namespace {

// Distinctive, and full of characters that URLs, logs and messages treat specially.
const QString kPassword = QStringLiteral("Zq7-s3cr3t@:/#% ünï");

QStringList g_messages;  // everything Qt and the program said while the window worked

// Everything written to standard error while it lives, by this process and the processes it
// starts (the web engine's and the page reader's inherit it): the terminal a user would see.
class StandardErrorCapture {
public:
    StandardErrorCapture() {
        file_.open();
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(file_.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { restore(); }
    QString text() {
        restore();
        file_.seek(0);
        return QString::fromUtf8(file_.readAll());
    }

private:
    void restore() {
        if (saved_ < 0) return;
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    QTemporaryFile file_;
    int saved_ = -1;
};

void Collect(QtMsgType, const QMessageLogContext&, const QString& message) {
    g_messages << message;
}

// The password as it could leak: typed, percent-encoded in a URL, or inside basic credentials.
QStringList Disguises() {
    const QByteArray utf8 = kPassword.toUtf8();
    return {kPassword, QString::fromLatin1(QUrl::toPercentEncoding(kPassword)),
            QString::fromLatin1(("admin:" + utf8).toBase64()), QStringLiteral("Zq7-s3cr3t")};
}

}  // namespace

// The password appears in no file the program writes, no message it shows or prints, and the
// box is masked from the first completion on.
class TestSecrets : public QObject {
    Q_OBJECT

    WindowDriver window_;

    QTemporaryDir work_;
    // Everything the window sends the engine's helper, as a wrapper copies it on its way.
    QString enginesInput_ = work_.filePath(QStringLiteral("engine-input"));

    void expectNoLeak(const QString& where, const QString& text) {
        for (const QString& disguise : Disguises())
            QVERIFY2(!text.contains(disguise), qPrintable(where + QStringLiteral(" leaks it")));
    }

private slots:
    void initTestCase() { qInstallMessageHandler(Collect); }
    void init() {
        QVERIFY(window_.open());
        quorvane::SetHelperCommand(
            quorvane::Helper::Engine,
            {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("tee -a \"$0\" | \"$1\""),
             enginesInput_, QStringLiteral(QUORVANE_ENGINE_HELPER)});
    }
    void cleanup() { window_.close(); }

    void passwordNeverLeaks_data() {
        QTest::addColumn<routersim::Fault>("fault");
        QTest::addColumn<routersim::PageStyle>("style");
        QTest::addColumn<bool>("rightPassword");
        using routersim::Fault;
        using routersim::PageStyle;
        QTest::newRow("success with copy and clear") << Fault::None << PageStyle::Pre << true;
        QTest::newRow("refused password") << Fault::None << PageStyle::Pre << false;
        QTest::newRow("redirect elsewhere") << Fault::RedirectOtherHost << PageStyle::Pre << true;
        QTest::newRow("server error") << Fault::Status500 << PageStyle::Pre << true;
        QTest::newRow("cut body") << Fault::CutBody << PageStyle::Pre << true;
        QTest::newRow("page whose script reads the log from the router")
            << Fault::None << PageStyle::ScriptFile << true;
        QTest::newRow("page whose script is refused the log")
            << Fault::None << PageStyle::ScriptFile << false;
        QTest::newRow("page filled by script, copy and clear")
            << Fault::None << PageStyle::ScriptTextArea << true;
    }
    void passwordNeverLeaks() {
        QFETCH(routersim::Fault, fault);
        QFETCH(routersim::PageStyle, style);
        QFETCH(bool, rightPassword);
        StandardErrorCapture terminal;
        routersim::RouterSim target({.password = kPassword.toStdString()});
        QVERIFY(target.start());
        routersim::RouterSim sim(
            {.password = kPassword.toStdString(),
             .style = style,
             .fault = fault,
             .redirectTarget = "http://127.0.0.1:" + std::to_string(target.port())});
        QVERIFY(sim.start());
        window_.typeLogin(sim, rightPassword ? kPassword : kPassword + u'x');
        window_.tick("Check1");
        window_.tick("Check2");
        g_messages.clear();
        QVERIFY(window_.press("Command1"));

        QCOMPARE(window_.control<QLineEdit>("txtPass")->echoMode(), QLineEdit::Password);
        for (const QLineEdit* box : window_.form->findChildren<QLineEdit*>())
            if (box->objectName() != QLatin1String("txtPass"))
                expectNoLeak(box->objectName(), box->text());
        expectNoLeak(QStringLiteral("txtLog"), window_.text("txtLog"));
        expectNoLeak(QStringLiteral("the copy file"), QString::fromUtf8(window_.copyFile()));
        expectNoLeak(QStringLiteral("a message"), g_messages.join(u'\n'));
        expectNoLeak(QStringLiteral("the window title"), window_.form->windowTitle());
        expectNoLeak(QStringLiteral("the terminal"), terminal.text());
        // The helper is sent addresses and text as UTF-16, pages as they came.
        QFile input(enginesInput_);
        const QByteArray sent = input.open(QIODevice::ReadOnly) ? input.readAll() : QByteArray();
        if (style != routersim::PageStyle::Pre) QVERIFY(sent.contains("/doc/syslog.htm"));
        for (const QByteArray& bytes : {sent, sent.mid(1)}) {
            QStringDecoder utf16(QStringConverter::Utf16BE);
            expectNoLeak(QStringLiteral("the engine's input"),
                         QString::fromUtf8(bytes) + QString(utf16.decode(bytes)));
        }
    }
};

QTEST_MAIN(TestSecrets)
#include "tst_secrets.moc"
