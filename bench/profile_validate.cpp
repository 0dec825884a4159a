// Profiling driver: runs the config check of the Python-free core on one file, N times, and
// prints the median time of one check and of its stages (read, UTF-8 check, parse), and for
// JSON the same RapidJSON reader with a handler that does nothing (the floor the check is
// measured against). Used to
// find where time goes when a target in results.md is missed; never part of the test suite.
//
//   cmake -S . -B /tmp/core -DSOLVARINTH_MODULE=OFF -DCMAKE_BUILD_TYPE=Release
//   cmake --build /tmp/core -j2
//   g++ -std=c++20 -O3 -g -Isrc -isystem third_party/rapidjson/include bench/profile_validate.cpp \
//       /tmp/core/libsolvarinth_core.a /tmp/core/libsolvarinth_yaml.a -o /tmp/profile_validate
//   /tmp/profile_validate config.json 200
//   perf record -g -e cpu-clock /tmp/profile_validate config.json 2000
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/utf8.hpp"
#include "config/json/reader.hpp"
#include "config/json/validator.hpp"
#include "config/read_file.hpp"
#include "config/validate.hpp"
#include "config/yaml/check.hpp"

using namespace solvarinth;
using Clock = std::chrono::steady_clock;

namespace {

double median_us(std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// RapidJSON's reader over its own string stream, with the flags the check uses and a handler
// that accepts everything: what the check would cost if it did nothing of its own.
bool noop_parse(const char* text) {
    rapidjson::Reader reader;
    rapidjson::StringStream stream(text);
    rapidjson::BaseReaderHandler<> handler;
    return !reader.Parse<rapidjson::kParseStopWhenDoneFlag>(stream, handler).IsError();
}

template <typename F>
double time_us(F&& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CONFIG [ROUNDS] [stage: all|read|utf8|parse|noop]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 100;
    const std::string stage = argc > 3 ? argv[3] : "all";
    const bool json = config::format_of(path) == config::ConfigFormat::Json;

    config::TextBuffer text;
    if (auto failed = config::read_config_text(path, text)) {
        std::fprintf(stderr, "read failed: %s\n", failed->message.c_str());
        return 1;
    }
    std::vector<double> whole, read, utf8, parse, noop;
    for (int i = 0; i < rounds; ++i) {
        if (stage == "all" || stage == "whole") {
            whole.push_back(time_us([&] {
                if (auto e = config::validate_config(path)) std::fprintf(stderr, "invalid: %s\n", e->message.c_str());
            }));
        }
        if (stage == "all" || stage == "read") {
            read.push_back(time_us([&] {
                config::TextBuffer t;
                (void)config::read_config_text(path, t);
            }));
        }
        if (stage == "all" || stage == "utf8") {
            utf8.push_back(time_us([&] { (void)is_valid_utf8(text.view()); }));
        }
        if (stage == "all" || stage == "parse") {
            parse.push_back(time_us([&] {
                if (json)
                    (void)config::check_json(text.c_str(), text.view().size());
                else
                    (void)config::check_yaml(text.view());
            }));
        }
        if (json && (stage == "all" || stage == "noop")) {
            noop.push_back(time_us([&] {
                if (!noop_parse(text.c_str())) std::fprintf(stderr, "noop parse failed\n");
            }));
        }
    }
    std::printf("%s: %zu bytes, %d rounds, medians in us:", path.c_str(), text.view().size(), rounds);
    if (!whole.empty()) std::printf(" validate_config %.1f", median_us(whole));
    if (!read.empty()) std::printf(" read(incl. utf8) %.1f", median_us(read));
    if (!utf8.empty()) std::printf(" utf8 %.1f", median_us(utf8));
    if (!parse.empty()) std::printf(" parse %.1f", median_us(parse));
    if (!noop.empty()) std::printf(" noop-handler %.1f", median_us(noop));
    std::printf("\n");
    return 0;
}
