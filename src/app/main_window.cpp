#include "main_window.h"

#include "analysis_clock.h"
#include "caption_fit.h"
#include "heap_reserve.h"
#include "log_text.h"
#include "page_loader.h"
#include "password_mask.h"
#include "result_sentences.h"
#include "web_browser.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

namespace quorvane {

namespace {

// The layout is designed in twips; 15 twips are one pixel at 96 dots per inch, and Qt scales
// pixels on screens of higher density.
constexpr int Px(int twips) { return (twips + 7) / 15; }
QRect Twips(int left, int top, int width, int height) {
    return {Px(left), Px(top), Px(width), Px(height)};
}

template <typename Widget>
Widget* Place(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption,
                  const QRect& geometry) {
    return Place(new QLabel(caption, parent), name, geometry);
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, const QRect& geometry,
                       const QString& text = {}) {
    return Place(new QLineEdit(text, parent), name, geometry);
}

// The check box's Value: 0 unticked, 1 ticked, 2 greyed.
int CheckValue(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

constexpr char kDefaultRouterAddress[] = "192.168.1.1";

// What a press of a usual router page (up to some hundreds of KiB) fills on its way to the boxes.
constexpr std::size_t kHeapForAPress = 2 << 20;

}  // namespace

QString AppFolderFrom(const QString& applicationPath) {
    const QString path = QDir::toNativeSeparators(applicationPath);
    return path.endsWith(QDir::separator()) ? path : path + QDir::separator();
}

Form1::Form1(const QString& applicationPath, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Px(6330), Px(6690));
    createControls();
    setFont(FontFittingCaptions(this));
    setTabOrder();
    Form_Load(applicationPath);
}

// The press under way goes before the helpers it reads with.
Form1::~Form1() { delete WebBrowser; }

void Form1::createControls() {
    Label1 = MakeLabel(this, "Label1", tr("Password:"), Twips(120, 240, 855, 255));
    txtPass = MakeTextBox(this, "txtPass", Twips(840, 225, 2895, 285));
    Label3 = MakeLabel(this, "Label3", tr("Router IP:"), Twips(120, 735, 735, 255));
    txtIP = MakeTextBox(this, "txtIP", Twips(840, 720, 1095, 285),
                        QString::fromLatin1(kDefaultRouterAddress));
    Label9 = MakeLabel(this, "Label9", tr("Port:"), Twips(2640, 720, 375, 255));
    txtPort = MakeTextBox(this, "txtPort", Twips(3000, 705, 735, 285), QStringLiteral("80"));
    Command1 = Place(new QPushButton(tr("Go"), this), "Command1", Twips(4560, 600, 1095, 375));
    Command2 =
        Place(new QPushButton(tr("Security Log"), this), "Command2", Twips(4560, 1080, 1095, 375));
    Check1 = Place(new QCheckBox(tr("Copy log(s)?"), this), "Check1", Twips(120, 1080, 1335, 255));
    Check2 =
        Place(new QCheckBox(tr("Clear log(s)?"), this), "Check2", Twips(1560, 1080, 1335, 255));

    Frame1 = Place(new QGroupBox(tr("Results:"), this), "Frame1", Twips(120, 1440, 6135, 5175));
    Label2 = MakeLabel(Frame1, "Label2", tr("WAN IP:"), Twips(120, 360, 1815, 255));
    Label5 = MakeLabel(Frame1, "Label5", tr("Primary DNS:"), Twips(2160, 360, 1815, 255));
    Label6 = MakeLabel(Frame1, "Label6", tr("Secondary DNS:"), Twips(4200, 360, 1815, 255));
    txtWANIP = MakeTextBox(Frame1, "txtWANIP", Twips(120, 600, 1815, 375));
    txtDNS1 = MakeTextBox(Frame1, "txtDNS1", Twips(2160, 600, 1815, 375));
    txtDNS2 = MakeTextBox(Frame1, "txtDNS2", Twips(4200, 600, 1815, 375));
    Label7 =
        MakeLabel(Frame1, "Label7", tr("Router uptime (days h:m:s)"), Twips(120, 1080, 2535, 255));
    Label8 =
        MakeLabel(Frame1, "Label8", tr("ADSL uptime (days h:m:s)"), Twips(2760, 1080, 2655, 255));
    txtRouterTime = MakeTextBox(Frame1, "txtRouterTime", Twips(120, 1320, 2535, 375));
    txtADSLTime = MakeTextBox(Frame1, "txtADSLTime", Twips(2760, 1320, 2670, 375));
    Label4 = MakeLabel(Frame1, "Label4", tr("Firewall attacks:"), Twips(120, 1800, 1575, 255));
    txtLog = Place(new QPlainTextEdit(Frame1), "txtLog", Twips(120, 2040, 5895, 3045));
    txtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtLog->setTabChangesFocus(true);

    WebBrowser = new WebBrowserCollection(this, Twips(5880, 720, 255, 255));
    readers_ = new PageReaders(this);
    describeForAssistiveTechnology();

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    // Enter in any of the three input boxes asks for the system log, the usual first request.
    for (QLineEdit* input : {txtPass, txtIP, txtPort})
        connect(input, &QLineEdit::returnPressed, Command1, &QPushButton::click);
}

// Screen readers announce each box by its label; the buddy links them without adding mnemonics,
// which would change the captions.
void Form1::describeForAssistiveTechnology() {
    const std::pair<QLabel*, QWidget*> pairs[] = {
        {Label1, txtPass},       {Label3, txtIP},       {Label9, txtPort},
        {Label2, txtWANIP},      {Label5, txtDNS1},     {Label6, txtDNS2},
        {Label7, txtRouterTime}, {Label8, txtADSLTime}, {Label4, txtLog}};
    for (const auto& [label, box] : pairs) {
        label->setBuddy(box);
        QString name = label->text();
        if (name.endsWith(u':')) name.chop(1);
        box->setAccessibleName(name);
    }
    txtPass->setAccessibleDescription(tr("Password field"));
}

void Form1::setTabOrder() {
    const QList<QWidget*> order = {txtPass,  Command1,    txtIP,         Check1,  Check2,
                                   txtPort,  txtADSLTime, txtRouterTime, txtDNS2, txtDNS1,
                                   txtWANIP, txtLog,      Command2};
    for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    txtPass->setFocus();
}

void Form1::Form_Load(const QString& applicationPath) {
    AppFolder = AppFolderFrom(applicationPath.isEmpty() ? QCoreApplication::applicationDirPath()
                                                        : applicationPath);
    BrowserInstance* designed = WebBrowser->item(0);
    designed->move(-designed->width(), designed->y());
}

void Form1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (frameDrawn_) return;
    frameDrawn_ = true;
    // After this frame is on the screen, from the event loop: the helpers first, since they start
    // beside us, then our own heap while they do.
    if (prepareWhenShown_) {
        QTimer::singleShot(0, readers_, &PageReaders::prepare);
        QTimer::singleShot(0, this, [] { ReserveHeap(kHeapForAPress); });
    }
    QTimer::singleShot(0, this, &Form1::firstFrameDrawn);
}

void Form1::Command1_Click() { requestLog(LogKind::System); }

void Form1::Command2_Click() { requestLog(LogKind::Security); }

void Form1::requestLog(LogKind kind) {
    if (WebBrowser->count() == 2) {
        WebBrowser->unload(1);
        txtLog->setPlainText(QString());
    }
    BrowserInstance* browser = WebBrowser->load(1);
    // Visible, yet out of sight: instance 0 was moved left of the window at start-up.
    browser->setVisible(true);

    const LogPress press = typedPress(kind);
    request_ = new LogRequest(
        press, new PageLoader(readers_),
        [locale = press.locale] { return CurrentAnalysisClock(locale); },
        [this] { return txtLog->toPlainText(); }, browser);
    connect(request_, &LogRequest::pageEnded, this, [this] { WebBrowser_DocumentComplete(1); });
    connect(request_, &LogRequest::logRead, this, &Form1::showResults);
    connect(request_, &LogRequest::failed, this, &Form1::showFailure);
    connect(request_, &LogRequest::finished, this, &Form1::endBusy);
    if (prepareWhenShown_ && frameDrawn_)
        connect(request_, &LogRequest::finished, readers_, &PageReaders::prepare);
    setCursor(Qt::BusyCursor);
    request_->start();
}

LogPress Form1::typedPress(LogKind kind) const {
    return {kind,
            {txtPass->text(), txtIP->text(), txtPort->text()},
            CheckValue(Check1),
            CheckValue(Check2),
            AppFolder,
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
            QLocale()};
}

// A request is under way from the button press until its page is released to the empty page or
// a navigation of it fails.
void Form1::endBusy() { unsetCursor(); }

void Form1::WebBrowser_DocumentComplete(int /*index*/) { MaskPassword(txtPass); }

void Form1::showResults(const LogResults& results) {
    if (const auto& findings = results.findings) {
        txtWANIP->setText(findings->wanIp);
        txtDNS1->setText(findings->dns1);
        txtDNS2->setText(findings->dns2);
        txtRouterTime->setText(findings->routerTime);
        txtADSLTime->setText(findings->adslTime);
    }
    const bool sayFallback = results.fellBackTo && !CopyFallbackSaid;
    QStringList lines = KeepingLines(results.copyFailure, results.clearHeldBack,
                                     sayFallback ? &*results.fellBackTo : nullptr);
    CopyFallbackSaid = CopyFallbackSaid || results.fellBackTo;
    // Said once in a session, on the first line, like where copies go: the findings stay as they
    // are.
    if (!EngineNetworkSaid && readers_->engineSharesOurNetwork()) {
        EngineNetworkSaid = true;
        lines.prepend(EngineSharesNetworkNotice());
    }
    lines << results.logBoxText;
    txtLog->setPlainText(lines.join(QLatin1String(kLineEnd)));
}

void Form1::showFailure(const PageFailure& failure, LogRequest::Step step) {
    const QString sentence = FailureSentence(failure);
    if (step == LogRequest::Step::Clear) {
        txtLog->setPlainText(ClearNotConfirmedLine(sentence) + kLineEnd + txtLog->toPlainText());
    } else {
        txtLog->setPlainText(LogNotReadText(sentence));
    }
}

}  // namespace quorvane
