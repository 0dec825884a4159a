// The table of distinct texts.
#include "config/yaml/text_ids.hpp"

#include "common/fault.hpp"
#include "config/yaml/keyed_hash.hpp"

namespace solvarinth::config::yaml {

std::uint32_t TextIds::find(std::string_view text) const {
    if (slots_.empty()) return 0;
    return slots_[slot_of(text)];
}

std::uint32_t TextIds::add(std::string_view text, bool& added) {
    if ((refs_.size() + 1) * 2 > slots_.size()) grow();
    const std::size_t i = slot_of(text);
    added = slots_[i] == 0;
    if (!added) return slots_[i];
    // Numbers are 32-bit: 2^32 distinct names would need a document of tens of gigabytes whose
    // kept events have run out of memory long before.
    if (refs_.size() >= UINT32_MAX - 1) fatal(kOutOfMemory);
    refs_.push_back(texts_.add_sized(text));
    slots_[i] = static_cast<std::uint32_t>(refs_.size());
    return slots_[i];
}

// The slot holding the text, or the empty one where it would go.
std::size_t TextIds::slot_of(std::string_view text) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash_text(domain_, text) & mask;
    while (slots_[i] != 0 && this->text(slots_[i]) != text) i = (i + 1) & mask;
    return i;
}

void TextIds::grow() {
    const std::size_t size = slots_.empty() ? 16 : slots_.size() * 2;
    slots_ = std::vector<std::uint32_t>();
    slots_.assign(size, 0);
    for (std::uint32_t id = 1; id <= refs_.size(); ++id) {
        std::size_t i = hash_text(domain_, text(id)) & (size - 1);
        while (slots_[i] != 0) i = (i + 1) & (size - 1);
        slots_[i] = id;
    }
}

}  // namespace solvarinth::config::yaml
