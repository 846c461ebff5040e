// The copy file's line selection on hostile page text: exactly the CR LF pieces that hold "/",
// unchanged and in page order.

#include "fuzz_support.h"
#include "log_copy_file.h"

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

void Check(const QString& text) {
    const QStringList lines = DatedLogLines(text);

    QStringList expected;
    for (const QString& piece : text.split(QStringLiteral("\r\n"))) {
        if (piece.contains(u'/')) {
            expected.append(piece);
        }
    }
    FUZZ_CHECK(lines == expected);

    for (const QString& line : lines) {
        FUZZ_CHECK(line.contains(u'/'));
        FUZZ_CHECK(!line.contains(QStringLiteral("\r\n")));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(AsUtf8(data, size));
    Check(AsUtf16(data, size));
    return 0;
}
