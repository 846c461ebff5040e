#include "static_page_reader.h"

#include "helper_environment.h"
#include "page_reader_protocol.h"
#include "process_end.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <QProcess>
#include <QStringDecoder>

namespace quorvane {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceCanBeLimited = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSpaceCanBeLimited = false;
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif

// Runs in the child between fork and exec, so it makes system calls only. Past the soft CPU limit
// the kernel sends SIGXCPU, a second later SIGKILL. A helper that dies leaves no core file behind,
// and never outlives the program (`parent`): had the program gone before the signal was asked
// for, the helper ends here.
void ApplyLimits(StaticPageReader::Limits limits, pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const auto seconds = static_cast<rlim_t>(limits.cpuSeconds);
    const rlimit cpu{seconds, seconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
    if (kAddressSpaceCanBeLimited) {
        const auto bytes = static_cast<rlim_t>(limits.memoryBytes);
        const rlimit memory{bytes, bytes};
        setrlimit(RLIMIT_AS, &memory);
    }
}

}  // namespace

StaticPageReader::StaticPageReader(QObject* parent) : StaticPageReader(Limits{}, parent) {}

StaticPageReader::StaticPageReader(Limits limits, QObject* parent)
    : QObject(parent), limits_(limits) {}

StaticPageReader::~StaticPageReader() { abandon(); }

bool StaticPageReader::limitsMemory() { return kAddressSpaceCanBeLimited; }

void StaticPageReader::prepare() {
    if (!process_) startHelper();
}

void StaticPageReader::read(const QByteArray& body, const QByteArray& contentType) {
    if (reading_) abandon();
    const quint64 read = ++reads_;
    if (!process_ && !startHelper()) {
        finishLater(read, Outcome::Unavailable);
        return;
    }
    reading_ = true;
    // A header value holds no line break; one that did would end the first line early.
    QByteArray type = contentType;
    type.replace('\n', ' ').replace('\r', ' ');
    process_->write(type + '\n');
    process_->write(body);
    process_->closeWriteChannel();
}

bool StaticPageReader::startHelper() {
    const QStringList command = HelperCommand(Helper::PageReader);
    if (command.isEmpty()) return false;
    auto* process = new QProcess(this);
    process_ = process;
    process->setProgram(command.first());
    process->setArguments(command.mid(1));
    // The helper's diagnostics (a sanitizer's report, say) belong with the program's own.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setProcessEnvironment(HelperEnvironment());
    const Limits limits = limits_;
    process->setChildProcessModifier(
        [limits, parent = ::getpid()] { ApplyLimits(limits, parent); });
    connect(process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        onProcessFinished(status == QProcess::NormalExit && exitCode == 0);
    });
    // Qt may report a failed start from within start().
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        if (reading_) {
            finishLater(reads_, Outcome::Unavailable);
        } else {
            dropHelper();  // a page that comes starts one of its own
        }
    });
    process->start(QIODevice::ReadWrite);
    return true;
}

// A helper made ready that went before its page came is no use to it.
void StaticPageReader::dropHelper() {
    EndWithoutWaiting(process_);
    process_.clear();
}

void StaticPageReader::onProcessFinished(bool succeeded) {
    if (!process_) return;
    if (!reading_) {
        dropHelper();
        return;
    }
    const QByteArray output = process_->readAllStandardOutput();
    if (!succeeded) {
        finish(Outcome::TooComplex);
    } else if (output == page_reader_protocol::kEngineAnswer) {
        finish(Outcome::NeedsEngine);
    } else if (output.startsWith(page_reader_protocol::kTextAnswer)) {
        // A leading U+FEFF is text: the page's own byte-order mark went with decoding.
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                           QStringConverter::Flag::Stateless);
        finish(Outcome::Text, decoder.decode(QByteArrayView(output).sliced(
                                  qstrlen(page_reader_protocol::kTextAnswer))));
    } else {
        finish(Outcome::TooComplex);
    }
}

void StaticPageReader::finishLater(quint64 read, Outcome outcome) {
    QMetaObject::invokeMethod(
        this,
        [this, read, outcome] {
            if (read == reads_) finish(outcome);
        },
        Qt::QueuedConnection);
}

void StaticPageReader::finish(Outcome outcome, const QString& text) {
    reading_ = false;
    if (process_) {
        process_->disconnect(this);
        process_->deleteLater();
        process_.clear();
    }
    emit finished(outcome, text);
}

void StaticPageReader::abandon() {
    ++reads_;
    reading_ = false;
    EndWithoutWaiting(process_);
    process_.clear();
}

}  // namespace quorvane
