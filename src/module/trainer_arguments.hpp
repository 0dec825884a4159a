// The five trainer arguments that train_from_config and TrainerConfig share: their names in
// declaration order, and their conversion into one launch request.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "launch/command.hpp"
#include "module/binding.hpp"

namespace solvarinth::py {

enum class TrainerArgument : std::uint8_t { ConfigPath, OutputDir, Steps, Seed, BaseCkpt };

inline constexpr std::array<const char*, 5> kTrainerParameters = {"config_path", "output_dir", "steps",
                                                                  "seed", "base_ckpt"};

constexpr const char* parameter_name(TrainerArgument argument) noexcept {
    return kTrainerParameters[static_cast<std::size_t>(argument)];
}

// Converts the five bound trainer arguments in declaration order; the first failure wins.
bool to_trainer_values(const BoundArguments& bound, launch::TrainerLaunchRequest& out);

}  // namespace solvarinth::py
