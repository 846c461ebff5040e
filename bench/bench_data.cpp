// quorvane-bench-data: the benchmark inputs as files, for the outside tools that bench/compare.sh
// measures on the same data.
//
//   quorvane-bench-data page BYTES FILE       the demo router's system log page, about BYTES long
//   quorvane-bench-data text PAGE_FILE FILE   the body text Quorvane takes from a page file
//                                             (UTF-8, lines ended by CR LF)
//   quorvane-bench-data firewall-lines BYTES  the firewall line count of a page of about BYTES

#include "bench_inputs.h"
#include "page_text.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kUsage[] =
    "usage: quorvane-bench-data page BYTES FILE\n"
    "       quorvane-bench-data text PAGE_FILE FILE\n"
    "       quorvane-bench-data firewall-lines BYTES\n";

bool Write(const char* path, const QByteArray& bytes) {
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

std::size_t Bytes(const char* text) { return std::size_t(std::strtoull(text, nullptr, 10)); }

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    using namespace quorvane;
    if (argc == 4 && std::strcmp(argv[1], "page") == 0) {
        return Write(argv[3], bench::RouterPage(bench::RouterLog::System, Bytes(argv[2]))) ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "text") == 0) {
        QFile page(QString::fromLocal8Bit(argv[2]));
        if (!page.open(QIODevice::ReadOnly)) return 1;
        // A page read from a file has no Content-Type header; its own <meta> decides.
        return Write(argv[3], BodyInnerText(DecodePageBytes(page.readAll(), {})).toUtf8()) ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "firewall-lines") == 0) {
        std::printf("%d\n", bench::FirewallLinesForPage(Bytes(argv[2])));
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
