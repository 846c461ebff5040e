// A stand-in for quorvane-engine that misbehaves as its arguments say, so that the tests see what
// the program takes from a helper that is not ours any more:
//   hello COUNT CHARS          COUNT Hellos of CHARS characters, then pages read as "0"
//   request METHOD URL COUNT   COUNT requests of each page at once; its text: the bytes answered
//   text CHARS                 for each page, a text of CHARS characters
//   deaf URL COUNT             COUNT requests of page 1, and never a byte of its input read
//   die                        half a frame on the first page, and its end

#include "engine_protocol.h"

#include <QDataStream>
#include <QHash>
#include <QIODevice>

#include <unistd.h>

using namespace quorvane::engine_protocol;

namespace {

void Put(const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + done, bytes.size() - done);
        if (n <= 0) ::_exit(1);
        done += n;
    }
}

void Ask(quint64 page, int count, const QByteArray& method, const QUrl& url) {
    for (int request = 1; request <= count; ++request) {
        Message ask = MessageOf(MessageType::Request, page, request);
        ask.method = method;
        ask.url = url;
        Put(Encode(ask));
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    const auto arg = [&](int i) { return QByteArray(i < argc ? argv[i] : ""); };
    const QByteArray mode = arg(1);
    Message hello = MessageOf(MessageType::Hello);
    hello.text = QString(mode == "hello" ? arg(3).toInt() : 0, u'h');
    for (int i = 0; i < (mode == "hello" ? arg(2).toInt() : 1); ++i) Put(Encode(hello));
    if (mode == "deaf") {
        Ask(1, arg(3).toInt(), "GET", QUrl(QString::fromLatin1(arg(2))));
        for (;;) ::pause();
    }
    FrameReader reader(kMaxFrameToHelper);
    QHash<quint64, QPair<int, qint64>> pages;  // requests unanswered, bytes answered
    char chunk[1 << 16];
    for (ssize_t n; (n = ::read(STDIN_FILENO, chunk, sizeof chunk)) > 0;) {
        reader.append(QByteArray(chunk, n));
        while (const std::optional<Message> message = reader.next()) {
            const quint64 page = message->page;
            if (message->type == MessageType::Open && mode == "die") {
                Put(Encode(MessageOf(MessageType::Text, page)).left(6));
                return 0;
            }
            if (message->type == MessageType::Open && mode == "text") {
                // Written as it goes, never held whole.
                const quint32 bytes = 2 * arg(2).toUInt();
                QByteArray head;
                QDataStream(&head, QIODevice::WriteOnly)
                    << quint32(1 + 8 + 4 + bytes) << quint8(MessageType::Text) << page << bytes;
                Put(head);
                const QByteArray block = QByteArray("\0x", 2).repeated(1 << 19);
                for (quint32 left = bytes; left > 0; left -= qMin<quint32>(left, block.size()))
                    Put(block.left(qMin<quint32>(left, block.size())));
                continue;
            }
            if (message->type == MessageType::Open) {
                pages[page].first = mode == "request" ? arg(4).toInt() : 0;
                Ask(page, pages[page].first, arg(2),
                    message->url.resolved(QUrl(QString::fromLatin1(arg(3)))));
            } else if (message->type == MessageType::Answer && pages.contains(page)) {
                --pages[page].first;
                pages[page].second += message->body.size();
            }
            if (pages.contains(page) && pages[page].first == 0) {
                Message text = MessageOf(MessageType::Text, page);
                text.text = QString::number(pages.take(page).second);
                Put(Encode(text));
            }
        }
    }
    return 0;
}
