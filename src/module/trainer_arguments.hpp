// The five trainer values of train_from_config and TrainerConfig, described once in one table.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "launch/command.hpp"
#include "module/binding.hpp"

namespace solvarinth::py {

using launch::TrainerLaunchRequest;

// One trainer value: the name of its parameter (and of TrainerConfig's attribute), and how it
// goes between a Python object and its field of the request.
struct TrainerValue {
    const char* name;
    // Stores value in this field of into; false with the exception pending, which the caller
    // passes through argument_error. value is borrowed; NULL only for base_ckpt, when not given.
    bool (*convert)(PyObject* value, TrainerLaunchRequest& into);
    // The field as a new reference (str, int or None).
    PyObject* (*to_python)(const TrainerLaunchRequest& from) noexcept;
    // Moves this field, and only it, from one request into another.
    void (*move)(TrainerLaunchRequest& from, TrainerLaunchRequest& into) noexcept;
};

// The entry for the request's member Field: Convert fills it from Python, ToPython reads it back.
template <auto Field, auto Convert, auto ToPython>
constexpr TrainerValue trainer_value(const char* name) noexcept {
    return {
        name,
        [](PyObject* value, TrainerLaunchRequest& into) { return Convert(value, into.*Field); },
        [](const TrainerLaunchRequest& from) noexcept { return ToPython(from.*Field); },
        [](TrainerLaunchRequest& from, TrainerLaunchRequest& into) noexcept { into.*Field = std::move(from.*Field); },
    };
}

inline constexpr std::array<TrainerValue, 5> kTrainerValues = {
    trainer_value<&TrainerLaunchRequest::config_path, to_text, from_text>("config_path"),
    trainer_value<&TrainerLaunchRequest::output_dir, to_text, from_text>("output_dir"),
    trainer_value<&TrainerLaunchRequest::steps, to_u64, from_u64>("steps"),
    trainer_value<&TrainerLaunchRequest::seed, to_u32, from_u32>("seed"),
    trainer_value<&TrainerLaunchRequest::base_ckpt, to_optional_text, from_optional_text>("base_ckpt"),
};
static_assert(kTrainerValues.size() <= kMaxParameters, "every trainer value needs a slot in BoundArguments");

// The parameter names, for the signatures that bind them.
inline constexpr std::array<const char*, kTrainerValues.size()> kTrainerParameters = [] {
    std::array<const char*, kTrainerValues.size()> names{};
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = kTrainerValues[i].name;
    return names;
}();

// Converts the bound trainer arguments in declaration order; the first failure wins, raised
// through argument_error with its parameter's name.
bool to_trainer_values(const BoundArguments& bound, TrainerLaunchRequest& out);

}  // namespace solvarinth::py
