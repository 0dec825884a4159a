// The fixed cargo command line that builds and starts the trainer.
#include "launch/command.hpp"

#include <algorithm>

#include "common/decimal.hpp"

namespace solvarinth::launch {

std::vector<std::string> build_argv(const TrainerLaunchRequest& request) {
    std::vector<std::string> argv;
    argv.reserve(18);
    for (std::string_view fixed : {kProgram, std::string_view("run"), std::string_view("--manifest-path"),
                                   kManifestPath, std::string_view("--release"), std::string_view("--bin"),
                                   std::string_view("train_generic"), std::string_view("--")})
        argv.emplace_back(fixed);
    argv.emplace_back("--config");
    argv.push_back(request.config_path);
    argv.emplace_back("--output-dir");
    argv.push_back(request.output_dir);
    argv.emplace_back("--steps");
    argv.push_back(decimal_text(request.steps));
    argv.emplace_back("--seed");
    argv.push_back(decimal_text(request.seed));
    if (request.base_ckpt) {
        argv.emplace_back("--base-ckpt");
        argv.push_back(*request.base_ckpt);
    }
    return argv;
}

bool has_nul(const std::vector<std::string>& argv) noexcept {
    return std::any_of(argv.begin(), argv.end(),
                       [](const std::string& entry) { return entry.find('\0') != std::string::npos; });
}

}  // namespace solvarinth::launch
