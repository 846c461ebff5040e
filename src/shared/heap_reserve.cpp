#include "heap_reserve.h"

#include <unistd.h>

#include <cstdlib>

namespace quorvane {

namespace {

// Keeps the compiler from dropping an allocation that is freed unused.
void Keep(void* block) { asm volatile("" : : "r"(block) : "memory"); }

}  // namespace

void ReserveHeap(std::size_t bytes) {
#ifdef __GLIBC__
    // glibc maps each block above its mmap threshold (128 KiB at first) on its own and unmaps it
    // when freed. Freeing such a block raises the threshold to its size and the trim threshold to
    // twice that (mallopt(3)), so that later blocks of that size come from the heap and the heap
    // keeps what is freed: what the allocator learns from a first press, taught beforehand.
    void* learner = std::malloc(2 * bytes);
    Keep(learner);
    std::free(learner);
    auto* block = static_cast<volatile char*>(std::malloc(bytes));
    if (block == nullptr) return;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    for (std::size_t at = 0; at < bytes; at += page) block[at] = 0;
    std::free(const_cast<char*>(block));
#else
    (void)bytes;  // other allocators keep their own counsel
#endif
}

}  // namespace quorvane
