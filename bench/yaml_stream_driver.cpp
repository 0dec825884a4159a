// Timing driver for the YAML check against libyaml alone: one process per measurement, so that
// its peak RSS is that of the one call. "bare" reads the file as the check does and runs
// libyaml's event loop (parse each event, delete it); "check" runs the whole config check of
// the core (existence, read, UTF-8, YAML). Prints the call's wall time and the process's CPU time in
// nanoseconds, and the process's peak RSS in bytes. Built and run by bench/yaml_stream.py.
#include <yaml.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/read_file.hpp"
#include "config/validate.hpp"

using namespace solvarinth;
using namespace solvarinth::config;

namespace {

// Events up to the end of the stream or the first error, as the check's parser is set up.
long bare_loop(std::string_view text) {
    yaml_parser_t parser;
    if (!yaml_parser_initialize(&parser)) return -1;
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
    long events = 0;
    for (;;) {
        yaml_event_t event;
        if (!yaml_parser_parse(&parser, &event)) break;
        const bool end = event.type == YAML_STREAM_END_EVENT;
        yaml_event_delete(&event);
        ++events;
        if (end) break;
    }
    yaml_parser_delete(&parser);
    return events;
}

// CPU time of the process, user and system: less disturbed by other load than the wall clock.
long long cpu_ns() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ns = [](const timeval& t) { return t.tv_sec * 1000000000LL + t.tv_usec * 1000LL; };
    return ns(usage.ru_utime) + ns(usage.ru_stime);
}

// The peak resident set of this program. Not ru_maxrss, which Linux carries over from the parent
// across exec; VmHWM belongs to the address space of this program alone.
long peak_rss() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::strtol(line + 6, nullptr, 10);
    std::fclose(status);
    return kib * 1024;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s bare|check PATH\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::string path = argv[2];
    const auto start = std::chrono::steady_clock::now();
    std::string outcome;
    if (mode == "bare") {
        TextBuffer text;
        if (read_config_text(path, text)) return 1;
        outcome = std::to_string(bare_loop(text.view())) + " events";
    } else {
        const Outcome result = validate_config(path);
        outcome = result ? "rejected" : "accepted";
    }
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    std::printf("%lld %lld %ld %s\n", static_cast<long long>(ns.count()), cpu_ns(), peak_rss(), outcome.c_str());
    return 0;
}
