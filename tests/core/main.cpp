// Runs every registered core test and prints a pytest-style closing line.
#include "check.hpp"

int main() {
    int failed_cases = 0;
    for (const check::Case& c : check::registry()) {
        const int before = check::failures();
        c.body();
        if (check::failures() != before) {
            ++failed_cases;
            std::cerr << "FAILED " << c.name << '\n';
        }
    }
    const int passed = static_cast<int>(check::registry().size()) - failed_cases;
    std::cout << "core tests: " << passed << " passed, " << failed_cases << " failed\n";
    return failed_cases == 0 ? 0 : 1;
}
