// quorvane-page-reader: reads one page with the static renderer, in a process of its own so that
// a page built to be slow or to eat memory can be stopped at once and is held to the limits its
// parent sets (see StaticPageReader). What goes in and comes out: page_reader_protocol.h. It needs
// no network, and gets none: it moves into a network namespace of its own where the system allows
// it, so that a fault in parsing a hostile page reaches nothing beyond this process.

#include <unistd.h>

#include <QByteArray>
#include <cerrno>
#include <optional>

#include "heap_reserve.h"
#include "network_isolation.h"
#include "page_reader_protocol.h"
#include "page_text.h"
#include "write_all.h"

namespace {

QByteArray ReadAll(int fd) {
    QByteArray input;
    for (;;) {
        constexpr qsizetype kChunk = 1 << 16;
        const qsizetype used = input.size();
        input.resize(used + kChunk);
        const ssize_t got = ::read(fd, input.data() + used, kChunk);
        if (got < 0 && errno == EINTR) {
            input.resize(used);
            continue;
        }
        input.resize(used + (got > 0 ? got : 0));
        if (got <= 0) return input;
    }
}

}  // namespace

int main() {
    namespace protocol = quorvane::page_reader_protocol;
    // First, while this process has its one thread. Where the system refuses, the reader has no
    // use for the network all the same: it only parses what it is given.
    quorvane::IsolateNetwork();
    // A reader is started before its page comes, and waits for it here: its heap is grown for a
    // usual page meanwhile.
    quorvane::ReserveHeap(quorvane::kHeapForAPage);
    QByteArray body = ReadAll(STDIN_FILENO);
    const qsizetype lineEnd = body.indexOf('\n');
    if (lineEnd < 0) return protocol::kExitNoTypeLine;
    const QByteArray contentType = body.first(lineEnd);
    body.remove(0, lineEnd + 1);

    const std::optional<QString> text = quorvane::StaticPageText(body, contentType);
    body = QByteArray();
    const bool written = text ? quorvane::WriteAll(STDOUT_FILENO, protocol::kTextAnswer) &&
                                    quorvane::WriteAll(STDOUT_FILENO, text->toUtf8())
                              : quorvane::WriteAll(STDOUT_FILENO, protocol::kEngineAnswer);
    return written ? 0 : protocol::kExitNotWritten;
}
