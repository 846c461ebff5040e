#pragma once

#include <cstddef>

namespace quorvane {

// Leaves `bytes` of this process's heap touched and free, as the work it waits for would leave
// them, so that the work does not pay for the kernel's first touch of each page it fills: a page
// of 64 KiB goes through buffers of some hundreds of KiB on its way to the log box, which the
// allocator would otherwise map afresh. Costs `bytes` of resident memory for the process's life;
// for a process kept ready, while it waits.
void ReserveHeap(std::size_t bytes);

// What a helper fills with a page of some tens of KiB: its bytes, the page read, its text in two
// encodings on its way back.
constexpr std::size_t kHeapForAPage = 1 << 20;

}  // namespace quorvane
