// quorvane-bench-probe: starts like the real program (same application object, window, icon and
// placement) and then reports on stdout what a measurement needs.
//
//   quorvane-bench-probe start-up
//       prints "shown NS" once the window's first frame is painted, NS on CLOCK_MONOTONIC, the
//       number of processes the program has started by then ("child_processes N") and whether
//       the web engine's library is mapped into it ("engine_mapped 0"), and exits
//   quorvane-bench-probe start-up-floor
//       the same for the floor under the window's start-up: Qt's own window with one caption and
//       one text box (which bring up the fonts), from this same program file and its libraries
//   quorvane-bench-probe fetch HOST PORT PASSWORD [TYPING_MS [PRESSES]]
//       types the login as a user does, taking TYPING_MS (default 2000) from the window's showing,
//       presses Go, waits until the busy cursor ends and prints the time from the
//       press, how the exchange ended ("outcome result", or "outcome failure" and the sentence the
//       window shows), the findings and the peak resident memory of this process ("VmHWM_kB N");
//       exits 0 when the exchange ended, whether with the findings or with a failure, 1 when it
//       had not ended after two minutes. With PRESSES, the memory of the program and every
//       process it started (proportional set size, summed) is printed at rest before the first
//       press ("rest_pss_kB N processes M"), after the first and after the last of PRESSES
//       presses, a pause as between a user's presses before each, and the median time of the
//       presses after the first ("warm_press_median_ms"), each from empty boxes as the first

#include "application_identity.h"
#include "click_timer.h"
#include "helper_environment.h"
#include "main_window.h"
#include "process_tree.h"
#include "spawn_program.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kUsage[] =
    "usage: quorvane-bench-probe start-up|start-up-floor\n"
    "       quorvane-bench-probe fetch HOST PORT PASSWORD [TYPING_MS [PRESSES]]\n";

// Whether the web engine's library is in this process: the window's process should never pay for
// loading it.
int EngineMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore") ? 1 : 0;
}

// The moment the first paint event reaches the window: its window was exposed and the first frame
// is being drawn. The time is taken on the event loop's next turn, when the frame is complete.
class FirstFrame : public QObject {
public:
    explicit FirstFrame(QWidget* window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, [] {
                const auto shown = static_cast<long long>(quorvane::bench::MonotonicNs());
                std::printf("shown %lld\nchild_processes %d\nengine_mapped %d\n", shown,
                            int(ProcessTree::ofThisProcess().pids.size() - 1), EngineMapped());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

// The peak resident set of this process so far, in kB, from the kernel's own record.
long PeakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// What the program and every process it started hold of the machine's memory, each shared page
// counted in shares: "N processes M".
QByteArray TreeMemory() {
    long kb = 0;
    const QList<qint64> pids = ProcessTree::ofThisProcess().pids;
    for (const qint64 pid : pids) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : rollup.readAll().split('\n')) {
            if (line.startsWith("Pss:")) kb += line.mid(4).trimmed().split(' ').value(0).toLong();
        }
    }
    return QByteArray::number(qlonglong(kb)) + " processes " + QByteArray::number(pids.size());
}

void Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int Fetch(quorvane::Form1& window, char** login, int typingMs, int presses) {
    // The user reads the window and types the password: the program has that long to itself.
    Pause(typingMs);
    if (presses > 0) std::printf("rest_pss_kB %s\n", TreeMemory().constData());
    window.findChild<QLineEdit*>(QStringLiteral("txtIP"))
        ->setText(QString::fromLocal8Bit(login[0]));
    window.findChild<QLineEdit*>(QStringLiteral("txtPort"))
        ->setText(QString::fromLocal8Bit(login[1]));
    window.findChild<QLineEdit*>(QStringLiteral("txtPass"))
        ->setText(QString::fromLocal8Bit(login[2]));
    auto* go = window.findChild<QPushButton*>(QStringLiteral("Command1"));
    quorvane::bench::ClickTimer timer(&window);
    const qint64 ns = timer.timeUntilResults([go] { go->click(); }, 120'000);
    const QString wanIp = window.findChild<QLineEdit*>(QStringLiteral("txtWANIP"))->text();
    const QString log = window.findChild<QPlainTextEdit*>(QStringLiteral("txtLog"))->toPlainText();
    // Without findings the results box holds the window's sentence about the failure.
    const QString outcome = ns < 0 ? QStringLiteral("unfinished")
                            : !wanIp.isEmpty()
                                ? QStringLiteral("result")
                                : QStringLiteral("failure ") + log.section(u'\n', 0, 0);
    std::printf(
        "click_to_results_ms %.1f\noutcome %s\nwan_ip %s\nfirewall_lines %lld\nVmHWM_kB %ld\n",
        double(ns) / 1e6, qPrintable(outcome), qPrintable(wanIp),
        static_cast<long long>(log.count(QLatin1String("Firewall:"))), PeakResidentKb());
    if (ns < 0) return 1;
    QList<qint64> warm;
    for (int press = 1; press <= presses; ++press) {
        if (press > 1) {
            Pause(300);  // as a user between presses
            // From empty boxes, as the first press and the warm benchmark's presses start.
            window.findChild<QPlainTextEdit*>(QStringLiteral("txtLog"))->clear();
            window.findChild<QLineEdit*>(QStringLiteral("txtWANIP"))->clear();
            QCoreApplication::processEvents();
            warm << timer.timeUntilResults([go] { go->click(); }, 120'000);
            if (warm.last() < 0) return 1;
        }
        if (press == 1 || press == presses) {
            std::printf("pss_after_press_%d_kB %s\n", press, TreeMemory().constData());
        }
    }
    if (!warm.isEmpty()) {
        std::sort(warm.begin(), warm.end());
        std::printf("warm_press_median_ms %.1f\n", double(warm[warm.size() / 2]) / 1e6);
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const bool startUp = argc == 2 && std::strcmp(argv[1], "start-up") == 0;
    if (argc == 2 && std::strcmp(argv[1], "start-up-floor") == 0) {
        QApplication app(argc, argv);
        QWidget window;
        window.resize(422, 446);
        new QLabel(QStringLiteral("Password:"), &window);
        (new QLineEdit(&window))->move(60, 0);
        new FirstFrame(&window);
        window.show();
        return app.exec();
    }
    const bool fetch = argc >= 5 && argc <= 7 && std::strcmp(argv[1], "fetch") == 0;
    if (!startUp && !fetch) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QApplication app(argc, argv);
    quorvane::SetApplicationIdentity();
    // The real program finds its page reader beside itself; this one lives elsewhere.
    quorvane::SetHelperCommand(quorvane::Helper::PageReader,
                               {QStringLiteral(QUORVANE_PAGE_READER)});
    quorvane::SetHelperCommand(quorvane::Helper::Engine, {QStringLiteral(QUORVANE_ENGINE_HELPER)});

    quorvane::Form1 window;
    window.prepareHelpersWhenShown();
    QObject::connect(&window, &quorvane::Form1::firstFrameDrawn, &quorvane::SetApplicationIcon);
    if (startUp) new FirstFrame(&window);
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    if (startUp) return app.exec();
    return Fetch(window, argv + 2, argc >= 6 ? std::atoi(argv[5]) : 2000,
                 argc == 7 ? std::atoi(argv[6]) : 0);
}
