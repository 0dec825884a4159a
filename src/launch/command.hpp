// The fixed cargo command line that builds and starts the trainer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvarinth::launch {

inline constexpr std::string_view kProgram = "cargo";
inline constexpr std::string_view kManifestPath = "/home/runner/work/quillon_yard/quillon_yard/Cargo.toml";

// The five values handed from the Python call to the launch, exactly as the caller gave them.
struct TrainerLaunchRequest {
    std::string config_path;
    std::string output_dir;
    std::uint64_t steps = 0;
    std::uint32_t seed = 0;
    std::optional<std::string> base_ckpt;  // present (even empty) adds --base-ckpt and its value
};

// The argument vector, entry 0 included: 16 entries, or 18 with a base checkpoint.
std::vector<std::string> build_argv(const TrainerLaunchRequest& request);

// True when some entry holds a NUL byte and so cannot be handed to the operating system.
bool has_nul(const std::vector<std::string>& argv) noexcept;

}  // namespace solvarinth::launch
