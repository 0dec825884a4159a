// A minimal table-test harness for the Python-free core: TEST(name) registers a case, CHECK_EQ
// records a failure and goes on.
#pragma once

#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace check {

struct Case {
    const char* name;
    std::function<void()> body;
};

inline std::vector<Case>& registry() {
    static std::vector<Case> cases;
    return cases;
}

inline int& failures() {
    static int count = 0;
    return count;
}

struct Register {
    Register(const char* name, std::function<void()> body) { registry().push_back({name, std::move(body)}); }
};

template <typename A, typename B>
void equal(const A& actual, const B& expected, const char* expr, const char* file, int line) {
    if (actual == expected) return;
    std::ostringstream out;
    out << file << ':' << line << ": CHECK_EQ(" << expr << ")\n  actual:   " << actual
        << "\n  expected: " << expected << '\n';
    std::cerr << out.str();
    ++failures();
}

}  // namespace check

#define CHECK_CONCAT2(a, b) a##b
#define CHECK_CONCAT(a, b) CHECK_CONCAT2(a, b)
#define TEST(name)                                                                         \
    static void name();                                                                    \
    static const check::Register CHECK_CONCAT(register_, name)(#name, name);               \
    static void name()
#define CHECK_EQ(actual, expected) check::equal((actual), (expected), #actual ", " #expected, __FILE__, __LINE__)
