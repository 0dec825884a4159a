// Growing blocks of bytes.
#include "config/yaml/arena.hpp"

#include <algorithm>

#include "common/fault.hpp"

namespace solvarinth::config::yaml {

// A new block for a run that does not fit the last one (or when there is none: capacity_ is then
// 0). A run larger than a block gets a block of its own, closed at once: its offset is 0, and the
// next run starts a new block, so no offset ever reaches kLargestBlock.
char* Arena::reserve_block(std::size_t bytes, std::uint64_t& ref) {
    if (blocks_.size() >= kMostBlocks) fatal(kOutOfMemory);
    const std::size_t next = capacity_ == 0 ? kFirstBlock : std::min(capacity_ * 2, kLargestBlock);
    capacity_ = std::max(next, bytes);
    if (!blocks_.empty()) filled_.push_back(used_);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
    used_ = 0;
    ref = std::uint64_t{blocks_.size() - 1} << kOffsetBits | used_;
    char* p = blocks_.back().get() + used_;
    used_ += bytes;
    return p;
}

void Arena::clear() noexcept {
    if (blocks_.size() > 1 || capacity_ > 8 * kFirstBlock) blocks_.clear();
    filled_.clear();
    if (blocks_.empty()) capacity_ = 0;
    used_ = 0;
}

}  // namespace solvarinth::config::yaml
