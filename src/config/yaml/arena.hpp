// Bytes kept in growing blocks and found again by a 40-bit reference: the packed keys of a
// mapping and the texts of interned key values. Blocks grow to a largest size and stay put, so
// growing never copies what is stored nor holds it twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace solvarinth::config::yaml {

// A size ahead of the bytes it counts, in 7-bit groups, low first: at most 10 bytes for 64 bits.
inline constexpr std::size_t kMostSizeBytes = 10;

inline char* put_size(char* p, std::uint64_t n) {
    do {
        const auto low = static_cast<unsigned char>(n & 0x7F);
        n >>= 7;
        *p++ = static_cast<char>(n ? (low | 0x80) : low);
    } while (n);
    return p;
}

// Writes text behind its size at p, which has room for kMostSizeBytes more; returns its end.
inline char* put_sized(char* p, std::string_view text) {
    p = put_size(p, text.size());
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

// The size written at p; p moves past it.
inline std::uint64_t get_size(const char*& p) {
    std::uint64_t size = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*p++);
        size |= std::uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) break;
    }
    return size;
}

// The text whose size starts at p; p moves past it.
inline std::string_view get_sized(const char*& p) {
    const std::uint64_t size = get_size(p);
    const std::string_view text(p, size);
    p += size;
    return text;
}

class Arena {
public:
    // A reference is a block's number above kOffsetBits bits of offset. Blocks hold at most
    // 2^kOffsetBits bytes, but for one holding a single larger run at offset 0, and there are
    // fewer than 2^kBlockBits - 1 of them, so every reference fits 40 bits and none is kNoRef.
    // 2^40 bytes is more memory than a process gets: the allocations fail before the count does.
    static constexpr unsigned kOffsetBits = 20;
    static constexpr unsigned kBlockBits = 20;
    static constexpr std::uint64_t kNoRef = (std::uint64_t{1} << (kOffsetBits + kBlockBits)) - 1;

    Arena() = default;
    Arena(Arena&&) noexcept = default;
    Arena& operator=(Arena&&) noexcept = default;

    // Room for bytes contiguous bytes (none is fine: a tag text can decode to nothing); ref
    // tells where they start. Inline for the common case, which a key of a large mapping takes.
    // Before the first block capacity_ is 0, so any reservation, empty ones too, makes one.
    char* reserve(std::size_t bytes, std::uint64_t& ref) {
        if (used_ + bytes > capacity_ || capacity_ == 0 || capacity_ > kLargestBlock)
            return reserve_block(bytes, ref);
        ref = std::uint64_t{blocks_.size() - 1} << kOffsetBits | used_;
        char* p = blocks_.back().get() + used_;
        used_ += bytes;
        return p;
    }
    // Gives back the last bytes of the latest reservation, which went unused.
    void give_back(std::size_t bytes) { used_ -= bytes; }
    // Keeps text behind its size (put_sized); the reference of the size.
    std::uint64_t add_sized(std::string_view text) {
        std::uint64_t ref;
        char* p = reserve(kMostSizeBytes + text.size(), ref);
        give_back(static_cast<std::size_t>(p + kMostSizeBytes + text.size() - put_sized(p, text)));
        return ref;
    }
    // The text kept behind its size at ref.
    std::string_view sized_at(std::uint64_t ref) const {
        const char* p = at(ref);
        return get_sized(p);
    }
    // The reference after a run of bytes reserved at ref: the next run's, which starts the next
    // block when this one ends its block. References only grow in the order runs were reserved.
    std::uint64_t after(std::uint64_t ref, std::size_t bytes) const {
        const std::size_t block = ref >> kOffsetBits;
        const std::uint64_t next = ref + bytes;
        if (block + 1 < blocks_.size() && (next & (kLargestBlock - 1)) == filled_[block] &&
            filled_[block] != 0)
            return std::uint64_t{block + 1} << kOffsetBits;
        return next;
    }
    // A reference taken as end() before a run that did not fit its block, and so started the
    // next one, is that run's reference.
    std::uint64_t settled(std::uint64_t ref) const { return after(ref, 0); }
    // The reference the next reservation would get if it fits: the end of everything reserved.
    std::uint64_t end() const {
        return blocks_.empty() ? 0 : (std::uint64_t{blocks_.size() - 1} << kOffsetBits) + used_;
    }
    char* at_mut(std::uint64_t ref) { return blocks_[ref >> kOffsetBits].get() + (ref & (kLargestBlock - 1)); }
    const char* at(std::uint64_t ref) const {
        return blocks_[ref >> kOffsetBits].get() + (ref & (kLargestBlock - 1));
    }
    // f(first byte, end, reference of the first byte) for each block, in order.
    template <typename F>
    void for_each_block(F&& f) const {
        for (std::size_t b = 0; b < blocks_.size(); ++b) {
            const char* p = blocks_[b].get();
            f(p, p + (b + 1 == blocks_.size() ? used_ : filled_[b]), std::uint64_t{b} << kOffsetBits);
        }
    }
    // Forgets everything; a first block of a modest size is kept for reuse.
    void clear() noexcept;

private:
    static constexpr std::size_t kFirstBlock = 128;
    static constexpr std::size_t kLargestBlock = std::size_t{1} << kOffsetBits;
    static constexpr std::size_t kMostBlocks = (std::size_t{1} << kBlockBits) - 1;
    static_assert(kOffsetBits + kBlockBits <= 40, "a reference fits 40 bits");

    char* reserve_block(std::size_t bytes, std::uint64_t& ref);

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::size_t> filled_;  // bytes used in each block but the last
    std::size_t used_ = 0;             // in the last block
    std::size_t capacity_ = 0;         // of the last block
};

}  // namespace solvarinth::config::yaml
