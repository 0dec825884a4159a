// A minimal table-test harness for the Python-free core: TEST(name) registers a case under its
// file's name, CHECK_EQ records a failure and goes on.
#pragma once

#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace check {

struct Case {
    std::string name;  // "<file stem>/<case>", so equal case names in two files stay apart
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

// "launch_core" for ".../test_launch_core.cpp".
inline std::string group_of(std::string_view file) {
    if (const auto slash = file.rfind('/'); slash != std::string_view::npos) file.remove_prefix(slash + 1);
    if (file.starts_with("test_")) file.remove_prefix(5);
    if (const auto dot = file.rfind('.'); dot != std::string_view::npos) file = file.substr(0, dot);
    return std::string(file);
}

struct Register {
    Register(const char* file, const char* name, std::function<void()> body) {
        registry().push_back({group_of(file) + '/' + name, std::move(body)});
    }
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
    static const check::Register CHECK_CONCAT(register_, name)(__FILE__, #name, name);     \
    static void name()
#define CHECK_EQ(actual, expected) check::equal((actual), (expected), #actual ", " #expected, __FILE__, __LINE__)
