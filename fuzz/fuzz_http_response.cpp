// The HTTP response parser on hostile bytes: the same answer whether it comes whole, split in two
// or one byte at a time; never more taken than the limits allow; no body where none may be.
// The first byte chooses a HEAD request, the end of the stream and the split point; the second
// chooses small limits, so that the fuzzer reaches them; the rest is the answer.

#include "fuzz_support.h"
#include "http_response_parser.h"

using namespace quorvane;

namespace {

using State = HttpResponseParser::State;

struct Result {
    State state;
    int status;
    QByteArray reason;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    qint64 consumed;
};

Result Parse(const QList<QByteArrayView>& pieces, HttpLimits limits, bool head, bool ends) {
    HttpResponseParser parser(limits, head);
    for (QByteArrayView piece : pieces) parser.feed(piece);
    if (ends) parser.finish();
    return {parser.state(), parser.status(),  parser.reasonPhrase(),
            parser.body(),  parser.headers(), parser.bytesConsumed()};
}

bool Read(State state) {
    return state == State::Complete || state == State::Cut || state == State::Incomplete;
}

void CheckAlike(const Result& a, const Result& b) {
    FUZZ_CHECK(a.state == b.state);
    FUZZ_CHECK(a.status == b.status);
    FUZZ_CHECK(a.reason == b.reason);
    FUZZ_CHECK(a.headers == b.headers);
    // What a failed parse holds of the body depends on where the bytes broke off.
    if (Read(a.state)) FUZZ_CHECK(a.body == b.body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const bool head = data[0] & 1;
    const bool ends = data[0] & 2;
    const HttpLimits limits{64 + (data[1] & 0x0F) * 256, 128 + (data[1] >> 4) * 2048};
    const QByteArrayView answer(reinterpret_cast<const char*>(data) + 2, qsizetype(size - 2));
    const qsizetype split = answer.size() * (data[0] >> 2) / 63;

    const Result whole = Parse({answer}, limits, head, ends);
    CheckAlike(whole, Parse({answer.first(split), answer.sliced(split)}, limits, head, ends));
    QList<QByteArrayView> bytes;
    for (qsizetype i = 0; i < answer.size(); ++i) bytes.append(answer.sliced(i, 1));
    CheckAlike(whole, Parse(bytes, limits, head, ends));

    FUZZ_CHECK(whole.consumed <= limits.maxTotalBytes);
    FUZZ_CHECK(whole.consumed <= answer.size());
    FUZZ_CHECK(whole.body.size() <= whole.consumed);
    FUZZ_CHECK(!ends || whole.state != State::Incomplete);
    if (whole.state == State::Complete) {
        FUZZ_CHECK(whole.status >= 100 && whole.status <= 999);
        FUZZ_CHECK(whole.status >= 200 || whole.status == 101);
        if (head || whole.status == 101 || whole.status == 204 || whole.status == 304) {
            FUZZ_CHECK(whole.body.isEmpty());
        }
    }
    return 0;
}
