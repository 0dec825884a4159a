// Large heap blocks that the kernel may back with huge pages: fewer page faults to fill them and
// fewer TLB misses to read them at random.
#pragma once

#include <cstddef>

namespace solvarinth {

// A block of bytes bytes, or null; released with std::free. From a few MiB on it starts on a
// huge-page boundary and is advised to use huge pages. Its size is not rounded up: the kernel
// backs a partly used last huge page with small pages, so the block costs no memory beyond its
// size. The advice is a hint: where the kernel ignores it, nothing changes.
void* allocate_large(std::size_t bytes) noexcept;

}  // namespace solvarinth
