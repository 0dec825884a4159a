// validate_config: the five stages in order, the first failure ending the check.
#include "config/validate.hpp"

#include "config/json/errors.hpp"
#include "config/json/validator.hpp"
#include "config/read_file.hpp"
#include "config/yaml/check.hpp"

namespace solvarinth::config {
namespace {

constexpr std::string_view kBadSuffix = "Config must be .json or .yaml";
constexpr std::string_view kInvalidJson = "Invalid JSON config: ";
constexpr std::string_view kInvalidYaml = "Invalid YAML config: ";

}  // namespace

std::optional<ConfigFormat> format_of(std::string_view path) noexcept {
    if (path.ends_with(".json")) return ConfigFormat::Json;
    if (path.ends_with(".yaml") || path.ends_with(".yml")) return ConfigFormat::Yaml;
    return std::nullopt;
}

Outcome validate_config(const std::string& path, SignalCheck on_signal) {
    if (Outcome missing = check_exists(path)) return missing;
    TextBuffer text;
    if (Outcome unreadable = read_config_text(path, text, on_signal)) return unreadable;
    const std::optional<ConfigFormat> format = format_of(path);
    if (!format) return fail(ErrorClass::Value, std::string(kBadSuffix));
    if (*format == ConfigFormat::Json) {
        const std::string_view view = text.view();
        if (auto error = check_json(text.c_str(), view.size()))
            return fail(ErrorClass::Value, kInvalidJson, describe_json_error(text.c_str(), view.size(), *error));
        return std::nullopt;
    }
    if (auto cause = check_yaml(text.view())) return fail(ErrorClass::Value, kInvalidYaml, *cause);
    return std::nullopt;
}

}  // namespace solvarinth::config
