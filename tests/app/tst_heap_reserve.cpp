#include "heap_reserve.h"

#include <sys/resource.h>

#include <QtTest>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANE_OWN_ALLOCATOR  // the sanitizer's allocator, not the C library's
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUORVANE_OWN_ALLOCATOR
#endif

using namespace quorvane;

namespace {

long FirstTouches() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

}  // namespace

class TestHeapReserve : public QObject {
    Q_OBJECT

private slots:
    // What a press fills after the reserve lands on pages the kernel has already given us.
    void aPressAfterTheReserveTouchesNoNewPage() {
#if !defined(__GLIBC__) || defined(QUORVANE_OWN_ALLOCATOR)
        QSKIP("the reserve follows the C library's allocator");
#endif
        constexpr qsizetype kFilled = 1 << 20;  // 256 pages, each a first touch without it
        ReserveHeap(2 * kFilled);
        const long before = FirstTouches();
        QByteArray text(kFilled, 'x');
        QString wide = QString::fromLatin1(text.first(kFilled / 4));
        const long touched = FirstTouches() - before;
        QVERIFY2(touched < 32, qPrintable(QStringLiteral("%1 pages touched first").arg(touched)));
        QCOMPARE(wide.size() + text.size(), kFilled / 4 + kFilled);
    }
};

QTEST_GUILESS_MAIN(TestHeapReserve)
#include "tst_heap_reserve.moc"
