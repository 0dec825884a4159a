// Runs the registered core tests: all of them with a pytest-style closing line, only the named ones
// (how CTest runs each case as its own test), or lists their names for CTest to discover.
#include <cstring>

#include "check.hpp"

namespace {

const check::Case* find_case(std::string_view name) {
    for (const check::Case& c : check::registry())
        if (c.name == name) return &c;
    return nullptr;
}

// True when the case recorded no failure.
bool run(const check::Case& c) {
    const int before = check::failures();
    c.body();
    if (check::failures() == before) return true;
    std::cerr << "FAILED " << c.name << '\n';
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const check::Case& c : check::registry()) std::cout << c.name << '\n';
        return 0;
    }
    std::vector<const check::Case*> selected;
    for (int i = 1; i < argc; ++i) {
        // A name that matches nothing must fail: a renamed case would otherwise pass as run.
        const check::Case* c = find_case(argv[i]);
        if (c == nullptr) {
            std::cerr << "no core test named " << argv[i] << " (see --list)\n";
            return 2;
        }
        selected.push_back(c);
    }
    if (argc == 1)
        for (const check::Case& c : check::registry()) selected.push_back(&c);
    int failed_cases = 0;
    for (const check::Case* c : selected) failed_cases += run(*c) ? 0 : 1;
    // A run of named cases stays quiet: CTest counts those, and a second tally would be counted twice.
    if (argc == 1) {
        const int passed = static_cast<int>(selected.size()) - failed_cases;
        std::cout << "core tests: " << passed << " passed, " << failed_cases << " failed\n";
    }
    return failed_cases == 0 ? 0 : 1;
}
