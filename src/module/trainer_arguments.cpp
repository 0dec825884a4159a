// Conversion of the bound trainer arguments, in declaration order.
#include "module/trainer_arguments.hpp"

namespace solvarinth::py {

bool to_trainer_values(const BoundArguments& bound, TrainerLaunchRequest& out) {
    for (std::size_t i = 0; i < kTrainerValues.size(); ++i) {
        if (!kTrainerValues[i].convert(bound[i], out)) return argument_error(kTrainerValues[i].name);
    }
    return true;
}

}  // namespace solvarinth::py
