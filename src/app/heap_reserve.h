#pragma once

#include <cstddef>

namespace quorvane {

// Leaves `bytes` of the program's heap touched and free, as a first press would, so that the
// first press does not pay for the kernel's first touch of each page it fills: a page of 64 KiB
// goes through buffers of some hundreds of KiB on its way to the log box, which the allocator would
// otherwise map afresh. Costs `bytes` of resident memory for the program's life.
void ReserveHeap(std::size_t bytes);

}  // namespace quorvane
