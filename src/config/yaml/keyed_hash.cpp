// The secret words of the keyed hash, drawn once per process.
#include "config/yaml/keyed_hash.hpp"

#include <random>

namespace solvarinth::config {

namespace {

HashSecrets draw() {
    std::random_device source;
    HashSecrets s{};
    for (std::uint64_t& w : s.word) {
        w = std::uint64_t{source()} << 32 | source();
        // An even secret multiplier would drop the low bits; one of all zeros would drop
        // everything. Odd keeps the fold's product full.
        w |= 1;
    }
    return s;
}

}  // namespace

const HashSecrets g_hash_secrets = draw();

}  // namespace solvarinth::config
