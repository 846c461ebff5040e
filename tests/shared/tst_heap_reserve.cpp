#include "heap_reserve.h"

#include <sys/resource.h>

#include <QtTest>

#ifndef __has_feature
#define __has_feature(feature) 0
#endif

class TestHeapReserve : public QObject {
    Q_OBJECT

    static long FirstTouches() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_minflt;
    }

private slots:
    // What a press fills after the reserve lands on pages the kernel has already given us.
    void aPressAfterTheReserveTouchesNoNewPage() {
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
        QSKIP("the reserve follows the C library's allocator");
#endif
        constexpr qsizetype kFilled = 1 << 20;  // 256 pages, each a first touch without it
        quorvane::ReserveHeap(2 * kFilled);
        const long before = FirstTouches();
        const QByteArray text(kFilled, 'x');
        const long touched = FirstTouches() - before;
        QVERIFY2(touched < 32, qPrintable(QStringLiteral("%1 pages touched first").arg(touched)));
        QCOMPARE(text.count('x'), kFilled);
    }
};

QTEST_GUILESS_MAIN(TestHeapReserve)
#include "tst_heap_reserve.moc"
