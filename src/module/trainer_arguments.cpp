// Conversion of the five trainer arguments, in declaration order.
#include "module/trainer_arguments.hpp"

namespace solvarinth::py {

bool to_trainer_values(const BoundArguments& bound, launch::TrainerLaunchRequest& out) {
    using enum TrainerArgument;
    if (!to_text(bound[0], out.config_path)) return argument_error(parameter_name(ConfigPath));
    if (!to_text(bound[1], out.output_dir)) return argument_error(parameter_name(OutputDir));
    if (!to_u64(bound[2], out.steps)) return argument_error(parameter_name(Steps));
    if (!to_u32(bound[3], out.seed)) return argument_error(parameter_name(Seed));
    if (!to_optional_text(bound[4], out.base_ckpt)) return argument_error(parameter_name(BaseCkpt));
    return true;
}

}  // namespace solvarinth::py
