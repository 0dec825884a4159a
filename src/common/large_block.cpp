// Huge-page advice for large blocks, in one place for every large buffer of the core.
#include "common/large_block.hpp"

#include <sys/mman.h>

#include <cstdlib>

namespace solvarinth {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// From this size on, the page faults of a fresh block cost more than filling it.
constexpr std::size_t kHugeFrom = std::size_t{4} << 20;

}  // namespace

void* allocate_large(std::size_t bytes) noexcept {
    if (bytes < kHugeFrom) return std::malloc(bytes);
    // posix_memalign, not aligned_alloc: the latter wants the size to be a multiple of the
    // alignment, which would mean rounding up.
    void* block = nullptr;
    if (::posix_memalign(&block, kHugePage, bytes) != 0) return nullptr;
    ::madvise(block, bytes, MADV_HUGEPAGE);
    return block;
}

}  // namespace solvarinth
