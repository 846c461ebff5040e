// Security log analysis on hostile page text: the listed lines must be exactly the lines that
// hold the current year, each cut from the year on, in front of the old box text.

#include "analysis_support.h"
#include "fuzz_support.h"
#include "security_log_analysis.h"

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

void Check(const QString& input) {
    const auto [log, box] = SplitAtNul(input);
    const AnalysisClock clock = FixedClock();
    const QString yearText = QStringLiteral("2007");
    const QString noneText = QStringLiteral("No attacks found.");

    const QString result = AnalyseSecurityLog(log, box, clock);

    if (log.contains(yearText)) {
        // Whatever the page holds, the old box text survives at the end.
        FUZZ_CHECK(result.endsWith(box));
        FUZZ_CHECK(result.size() > box.size());
        FUZZ_CHECK(result.startsWith(yearText));
    } else {
        FUZZ_CHECK(result == noneText);
    }
    FUZZ_CHECK(result == ExpectedMarkedLines(log, yearText, 0, box, noneText));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(AsUtf8(data, size));
    Check(AsUtf16(data, size));
    return 0;
}
