// quorvane-engine: the web engine in a process of its own, started by the program on the first
// page that needs it and kept for the next. It reaches no network: it runs in a network namespace
// of its own where the system allows it, its engine resolves no name and opens no WebRTC socket,
// and the pages it renders come from the program, which also answers each of their requests (see
// engine_protocol.h). It never sees the router's password. A crash, a hang or a page that eats
// memory takes this process and nothing else; the program starts a fresh one for the next page.
//
// Standard input and output carry the protocol; standard error is the program's.

#include "engine_application.h"
#include "engine_host.h"
#include "engine_service.h"
#include "engine_switches.h"
#include "heap_reserve.h"
#include "helper_environment.h"
#include "network_isolation.h"

#include <QTimer>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

namespace {

// The protocol's pipes move to descriptors that no child inherits, and what anything else writes
// to standard output goes to standard error instead, so that no stray line breaks a frame.
struct Pipes {
    int in = -1;
    int out = -1;
};

Pipes TakePipes() {
    Pipes pipes{::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3),
                ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3)};
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nothing >= 0) {
        ::dup2(nothing, STDIN_FILENO);
        ::close(nothing);
    }
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return pipes;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The helper never outlives the program, however the program ends; had the program gone
    // before this line, the end of the input pipe says so.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const Pipes pipes = TakePipes();
    if (pipes.in < 0 || pipes.out < 0) return 1;

    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const quorvane::NetworkShutters shutters = quorvane::ShuttersFromArguments(arguments);
    // First, while this process has its one thread.
    const quorvane::NetworkIsolation isolation =
        shutters.ownNetwork ? quorvane::IsolateNetwork()
                            : quorvane::NetworkIsolation{false, QStringLiteral("left out")};
    const bool root = ::geteuid() == 0;
    // The program starts this helper with an environment of its own making; whoever else starts
    // it does not get to set the engine's switches or proxies either.
    quorvane::ForgetEngineOverrides();

    quorvane::EngineApplication app(argv[0],
                                    quorvane::ChromiumSwitches(shutters.chromiumSwitches, root));
    quorvane::EngineHost host(shutters.pageScripts);
    quorvane::EngineService service(pipes.in, pipes.out, &host);

    quorvane::engine_protocol::Message hello =
        MessageOf(quorvane::engine_protocol::MessageType::Hello);
    QStringList notes;
    if (root) {
        notes << QStringLiteral(
            "Quorvane runs as root: the web engine's sandbox is switched off. Run it as an "
            "ordinary user to keep it on.");
    }
    if (!isolation.isolated) {
        notes << QStringLiteral(
                     "The web engine could not be given a network of its own (%1); its other "
                     "locks keep it from the network.")
                     .arg(isolation.why);
    }
    hello.text = notes.join(u'\n');
    service.send(hello);
    // The window starts this helper before the user's first press: that press finds a renderer
    // up, as every later one does.
    QTimer::singleShot(0, &host, &quorvane::EngineHost::prepareSparePage);
    // And, while that renderer comes up, our heap is grown for the page, as the window's is.
    QTimer::singleShot(0, [] { quorvane::ReserveHeap(quorvane::kHeapForAPage); });
    return app.exec();
}
