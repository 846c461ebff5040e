#include "http_response_parser.h"

#include <QtTest>

using namespace quorvane;
using State = HttpResponseParser::State;

namespace {

struct Outcome {
    State state;
    int status;
    QByteArray body;
    QByteArray field;
    qint64 consumed;
};

// Feeds the pieces in order and, when the stream ends after them, says so.
Outcome Parse(const QList<QByteArrayView>& pieces, bool head, bool ends, HttpLimits limits,
              const QByteArray& fieldName) {
    HttpResponseParser parser(limits, head);
    for (QByteArrayView piece : pieces) parser.feed(piece);
    if (ends) parser.finish();
    return {parser.state(), parser.status(), parser.body(), parser.header(fieldName),
            parser.bytesConsumed()};
}

QByteArray Chunked(const QByteArray& chunks) {
    return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks;
}

}  // namespace

class TestHttpResponseParser : public QObject {
    Q_OBJECT

private slots:
    // Every answer is read alike whole, split in two at every byte and one byte at a time.
    void readsAnswersHoweverTheyAreSplit_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("ends");  // the connection closes after the input
        QTest::addColumn<bool>("head");  // the answer to a HEAD request
        QTest::addColumn<qint64>("maxHeader");
        QTest::addColumn<qint64>("maxTotal");
        QTest::addColumn<State>("state");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("fieldName");  // looked up after the parse
        QTest::addColumn<QByteArray>("field");
        const qint64 h = 64 << 10;
        const qint64 t = 32 << 20;
        const auto row = [&](const char* name, const QByteArray& input, bool ends, State state,
                             int status, const QByteArray& body, qint64 maxHeader = 64 << 10,
                             qint64 maxTotal = 32 << 20, const QByteArray& fieldName = {},
                             const QByteArray& field = {}, bool head = false) {
            QTest::newRow(name) << input << ends << head << maxHeader << maxTotal << state << status
                                << body << fieldName << field;
        };

        // Framing by length and by the end of the connection.
        row("content-length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false,
            State::Complete, 200, "hello");
        row("bytes after the answer are not read",
            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhello", false, State::Complete, 200, "he");
        row("until the connection closes", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nabc", true,
            State::Complete, 200, "abc");
        row("until close, still open", "HTTP/1.0 200 OK\r\n\r\nabc", false, State::Incomplete, 200,
            "abc");
        row("line feeds alone, no reason phrase", "HTTP/1.1 200\nContent-Length: 2\n\nok", false,
            State::Complete, 200, "ok");
        row("short of its length", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc", true,
            State::Cut, 200, "abc");
        row("the same length twice",
            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\ncontent-length: 2, 2\r\n\r\nok", false,
            State::Complete, 200, "ok");
        row("two different lengths",
            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nok", false,
            State::Malformed, 200, "");
        row("a length that is not a number", "HTTP/1.1 200 OK\r\nContent-Length: +2\r\n\r\nok",
            false, State::Malformed, 200, "");
        row("cut inside the header", "HTTP/1.1 200 OK\r\nContent-", true, State::Cut, 200, "");
        row("nothing at all", "", true, State::Cut, 0, "");

        // Chunked transfer coding.
        row("chunked", Chunked("5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"), false, State::Complete,
            200, "hello world");
        row("chunk sizes in either case, leading zeros, extensions",
            Chunked(
                "A;name=value\r\n0123456789\r\n00b ; q=\"a;b\"\r\nabcdefghijk\r\n0;last\r\n\r\n"),
            false, State::Complete, 200, "0123456789abcdefghijk");
        row("trailers stay out of the header",
            Chunked("2\r\nok\r\n0\r\nX-Check: 1\r\nExpires: 0\r\n\r\n"), false, State::Complete,
            200, "ok", h, t, "X-Check", "");
        row("chunked wins over a length",
            "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n"
            "2\r\nok\r\n0\r\n\r\n",
            false, State::Complete, 200, "ok");
        row("chunked after another coding",
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, CHUNKED\r\n\r\n2\r\nzz\r\n0\r\n\r\n",
            false, State::Complete, 200, "zz");
        row("another coding last: until close",
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n2\r\nzz", true,
            State::Complete, 200, "2\r\nzz");
        row("the last chunk missing", Chunked("2\r\nok\r\n"), true, State::Cut, 200, "ok");
        row("cut inside a chunk", Chunked("5\r\nhel"), true, State::Cut, 200, "hel");
        row("trailers unfinished", Chunked("2\r\nok\r\n0\r\nX-Check: 1\r\n"), true, State::Cut, 200,
            "ok");
        row("a chunk size that is no number", Chunked("zz\r\nok\r\n0\r\n\r\n"), false,
            State::Malformed, 200, "");
        row("a chunk longer than its size", Chunked("2\r\nokay\r\n0\r\n\r\n"), false,
            State::Malformed, 200, "ok");

        // Interim answers and answers without a body.
        row("interim answers are skipped",
            "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n"
            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
            false, State::Complete, 200, "ok", h, t, "Link", "");
        row("102 then an error", "HTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 404 Not Found\r\n\r\nno",
            true, State::Complete, 404, "no");
        row("101 ends the HTTP answer", "HTTP/1.1 101 Switching Protocols\r\n\r\nbinary", false,
            State::Complete, 101, "");
        row("204 has no body", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nhello", false,
            State::Complete, 204, "");
        row("304 has no body", "HTTP/1.1 304 Not Modified\r\n\r\nhello", false, State::Complete,
            304, "");
        row("an answer to HEAD has no body", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", false,
            State::Complete, 200, "", h, t, {}, {}, true);

        // Header fields.
        row("names in any case", "HTTP/1.1 200 OK\r\ncontent-TYPE: text/plain\r\n\r\n", true,
            State::Complete, 200, "", h, t, "Content-Type", "text/plain");
        row("repeated fields join",
            "HTTP/1.1 401 No\r\nWWW-Authenticate: Digest a=1\r\nWWW-Authenticate:Basic\r\n\r\n",
            true, State::Complete, 401, "", h, t, "www-authenticate", "Digest a=1, Basic");
        row("folded continuation", "HTTP/1.1 200 OK\r\nX-A: one\r\n  two\r\n\r\n", true,
            State::Complete, 200, "", h, t, "X-A", "one two");
        row("a line that is not a field", "HTTP/1.1 200 OK\r\nno colon here\r\n\r\n", true,
            State::Malformed, 200, "");
        row("a blank before the colon", "HTTP/1.1 200 OK\r\nX-A : 1\r\n\r\n", true,
            State::Malformed, 200, "");

        // Not HTTP at all, told from the first bytes that cannot start a status line.
        row("markup", "<html><body>log</body></html>", false, State::NotHttp, 0, "");
        row("a console banner", "QR-100 management console\r\nlogin: ", false, State::NotHttp, 0,
            "");
        row("HTTP/2", "HTTP/2 200\r\n\r\n", false, State::NotHttp, 0, "");
        row("lower-case name", "http/1.1 200 OK\r\n\r\n", false, State::NotHttp, 0, "");
        row("two-digit status", "HTTP/1.1 20 OK\r\n\r\n", false, State::NotHttp, 0, "");
        row("status starting with 0", "HTTP/1.1 099 OK\r\n\r\n", false, State::NotHttp, 0, "");
        row("not HTTP, before any limit", "HT" + QByteArray(20, '\0') + " 200 OK\r\n\r\n", false,
            State::NotHttp, 0, "", 12, t);
        const QByteArray interim = "HTTP/1.1 100 Continue\r\n\r\n";
        row("the limit breaks first", interim + "HTTP/2.0 200 OK\r\n\r\n", false,
            State::HeaderTooLarge, 0, "", interim.size() + 5, t);
        row("the byte that is not HTTP comes first", interim + "HTTP/2.0 200 OK\r\n\r\n", false,
            State::NotHttp, 0, "", interim.size() + 6, t);
        row("status run into the reason", "HTTP/1.1 200OK\r\n\r\n", false, State::NotHttp, 0, "");

        // Limits: exactly at a limit passes, one byte beyond fails.
        const QByteArray fixed = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX: 12\r\n\r\n";
        row("header at its limit", fixed + "ok", false, State::Complete, 200, "ok", fixed.size(),
            t);
        row("header one byte over", fixed + "ok", false, State::HeaderTooLarge, 0, "",
            fixed.size() - 1, t);
        row("interim headers count", "HTTP/1.1 103 Early Hints\r\n\r\n" + fixed + "ok", false,
            State::HeaderTooLarge, 0, "", fixed.size(), t);
        row("one endless header line", "HTTP/1.1 200 OK\r\nX-Flood: " + QByteArray(200, 'a'), false,
            State::HeaderTooLarge, 0, "", 100, t);
        row("the answer's limit breaks first within a header line",
            "HTTP/1.1 200 " + QByteArray(200, 'x'), false, State::TooLarge, 0, "", 150, 100);
        row("answer at its limit", fixed + "ok", false, State::Complete, 200, "ok", h,
            fixed.size() + 2);
        row("a length beyond the limit is refused at once", fixed, false, State::TooLarge, 200, "",
            h, fixed.size() + 1);
        row("chunks beyond the limit", Chunked("4\r\nabcd\r\n4\r\nefgh\r\n"), false,
            State::TooLarge, 200, "abcd", h, 60);
        row("a chunk size beyond any limit", Chunked("fffffffffffffffffffffff\r\n"), false,
            State::TooLarge, 200, "", h, 1000);
        row("until close beyond the limit", "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(100, 'x'), false,
            State::TooLarge, 200, QByteArray(), h, 80);
    }
    void readsAnswersHoweverTheyAreSplit() {
        QFETCH(QByteArray, input);
        QFETCH(bool, ends);
        QFETCH(bool, head);
        QFETCH(qint64, maxHeader);
        QFETCH(qint64, maxTotal);
        QFETCH(State, state);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, fieldName);
        QFETCH(QByteArray, field);
        const HttpLimits limits{maxHeader, maxTotal};

        const Outcome whole = Parse({input}, head, ends, limits, fieldName);
        QCOMPARE(whole.state, state);
        if (state != State::HeaderTooLarge && state != State::NotHttp) {
            QCOMPARE(whole.status, status);
        }
        if (state == State::Complete || state == State::Cut || state == State::Incomplete) {
            QCOMPARE(whole.body, body);
        }
        if (!fieldName.isEmpty()) QCOMPARE(whole.field, field);
        QVERIFY(whole.consumed <= maxTotal);

        for (qsizetype at = 0; at <= input.size(); ++at) {
            const QByteArrayView bytes(input);
            const Outcome split =
                Parse({bytes.first(at), bytes.sliced(at)}, head, ends, limits, fieldName);
            // What a failed parse holds of the body depends on where the bytes broke off.
            const bool read = split.state == State::Complete || split.state == State::Cut ||
                              split.state == State::Incomplete;
            QVERIFY2(split.state == whole.state && split.status == whole.status &&
                         (!read || split.body == whole.body) && split.field == whole.field,
                     qPrintable(QStringLiteral("split at byte %1").arg(at)));
        }
        QList<QByteArrayView> bytes;
        for (qsizetype i = 0; i < input.size(); ++i)
            bytes.append(QByteArrayView(input).sliced(i, 1));
        const Outcome single = Parse(bytes, head, ends, limits, fieldName);
        QCOMPARE(single.state, whole.state);
        QCOMPARE(single.status, whole.status);
    }

    // A flood is cut at the limit however much more is offered, so memory stays bounded.
    void floodStopsAtTheHeaderLimit() {
        HttpResponseParser parser({64 << 10, 32 << 20});
        parser.feed("HTTP/1.1 200 OK\r\n");
        const QByteArray line = "X-Flood: " + QByteArray(1000, 'a') + "\r\n";
        int offered = 0;
        while (parser.state() == State::Incomplete && offered < 10'000) {
            parser.feed(line);
            ++offered;
        }
        QCOMPARE(parser.state(), State::HeaderTooLarge);
        QCOMPARE(offered, (64 << 10) / line.size() + 1);
        QVERIFY(parser.bytesConsumed() <= 64 << 10);
        QCOMPARE(parser.feed(line), State::HeaderTooLarge);
    }
};

QTEST_GUILESS_MAIN(TestHttpResponseParser)
#include "tst_http_response_parser.moc"
