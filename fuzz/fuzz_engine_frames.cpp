// What the engine's helper sends the program, as a hostile helper could send it: the program's
// frame reader never takes a frame past its limit, nor past the limit it is given for the frame's
// type and page (the frame is then dropped unread), and gives the same messages however the bytes
// are split.
// The first byte chooses the split point; the rest is the stream.

#include "engine_protocol.h"
#include "fuzz_support.h"

using namespace quorvane::engine_protocol;

namespace {

constexpr qint64 kMaxFrame = 1 << 16;

// Some frames of each type and page may be long, some not at all.
qint64 LimitOf(MessageType type, quint64 page) {
    return qint64((quint64(type) * 31 + page) % 97) * 8;
}

QList<QByteArray> ReadAll(const QList<QByteArray>& pieces, bool* broken, bool limited) {
    FrameReader reader(kMaxFrame, limited ? FrameLimit(LimitOf) : FrameLimit());
    QList<QByteArray> frames;
    for (const QByteArray& piece : pieces) {
        reader.append(piece);
        while (const std::optional<Message> message = reader.next()) {
            FUZZ_CHECK(limited || !message->dropped);
            if (message->dropped) {
                frames.append("dropped " + QByteArray::number(int(message->type)) + ' ' +
                              QByteArray::number(message->page));
                continue;
            }
            const qint64 limit = limited ? LimitOf(message->type, message->page) : kMaxFrame;
            FUZZ_CHECK(message->body.size() + message->text.size() * 2 <= limit);
            frames.append(Encode(*message));
        }
    }
    *broken = reader.broken();
    return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const qsizetype split = stream.isEmpty() ? 0 : data[0] % (stream.size() + 1);
    for (const bool limited : {false, true}) {
        bool wholeBroken = false;
        bool splitBroken = false;
        const QList<QByteArray> whole = ReadAll({stream}, &wholeBroken, limited);
        const QList<QByteArray> halves =
            ReadAll({stream.left(split), stream.mid(split)}, &splitBroken, limited);
        FUZZ_CHECK(whole == halves);
        FUZZ_CHECK(wholeBroken == splitBroken);
    }
    return 0;
}
