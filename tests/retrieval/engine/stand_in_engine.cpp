// A stand-in for quorvane-engine that misbehaves as its arguments say:
//   hello COUNT CHARS          COUNT Hellos of CHARS characters, then pages read as "0"
//   request METHOD URL COUNT   COUNT requests of each page at once; its text: the bytes answered
//   text CHARS                 for each page, a text of CHARS characters
//   deaf URL COUNT             COUNT requests of page 1, and never a byte of its input read
//   die                        half a frame on the first page, and its end

#include "engine_protocol.h"

#include <QHash>

#include <unistd.h>

using namespace quorvane::engine_protocol;

int main(int argc, char* argv[]) {
    const auto arg = [&](int i) { return QByteArray(i < argc ? argv[i] : ""); };
    const auto put = [](const QByteArray& b) { return ::write(1, b.constData(), b.size()); };
    const auto ask = [&](quint64 page, int count, const QByteArray& method, const QUrl& url) {
        for (int request = 1; request <= count; ++request) {
            Message message = MessageOf(MessageType::Request, page, request);
            message.method = method, message.url = url;
            put(Encode(message));
        }
    };
    const QByteArray mode = arg(1);
    Message hello = MessageOf(MessageType::Hello);
    hello.text = QString(mode == "hello" ? arg(3).toInt() : 0, u'h');
    for (int i = 0; i < (mode == "hello" ? arg(2).toInt() : 1); ++i) put(Encode(hello));
    if (mode == "deaf") ask(1, arg(3).toInt(), "GET", QUrl(QString::fromLatin1(arg(2))));
    while (mode == "deaf") ::pause();
    FrameReader reader(kMaxFrameToHelper);
    QHash<quint64, QPair<int, qint64>> pages;  // requests unanswered, bytes answered
    char chunk[1 << 16];
    for (ssize_t n; (n = ::read(STDIN_FILENO, chunk, sizeof chunk)) > 0;) {
        reader.append(QByteArray(chunk, n));
        while (const std::optional<Message> message = reader.next()) {
            const quint64 page = message->page;
            const bool open = message->type == MessageType::Open;
            if (open && mode == "die")
                return put(Encode(MessageOf(MessageType::Text, page)).left(6)), 0;
            if (open) {
                pages[page].first = mode == "request" ? arg(4).toInt() : 0;
                ask(page, pages[page].first, arg(2), message->url.resolved(QUrl(arg(3))));
            } else if (message->type == MessageType::Answer && pages.contains(page)) {
                --pages[page].first;
                pages[page].second += message->body.size();
            }
            if (pages.contains(page) && pages[page].first == 0) {
                Message text = MessageOf(MessageType::Text, page);
                text.text = QString::number(pages.take(page).second);
                if (mode == "text") text.text = QString(arg(2).toInt(), u'x');
                put(Encode(text));
            }
        }
    }
    return 0;
}
