// Replays saved inputs through a fuzz target once each, without libFuzzer: links with either
// target and builds with any compiler, so the test command can rerun the seed corpus and any
// crash inputs kept there.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// The regular files under each argument (a file or a directory), sorted so runs are repeatable.
bool collect(const char* arg, std::vector<fs::path>& out) {
    std::error_code ec;
    if (fs::is_regular_file(arg, ec)) {
        out.emplace_back(arg);
        return true;
    }
    if (!fs::is_directory(arg, ec)) return false;
    std::vector<fs::path> found;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(arg, ec))
        if (entry.is_regular_file()) found.push_back(entry.path());
    if (ec) return false;
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
    return true;
}

bool replay(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) return false;
    // Named before the call: a crash inside the target ends the process, and this line tells
    // which input did it.
    std::cerr << "input " << path.string() << " (" << bytes.size() << " bytes)\n";
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!collect(argv[i], inputs)) {
            std::cerr << "cannot read " << argv[i] << '\n';
            return 2;
        }
    }
    // An empty replay would pass without testing anything: a moved corpus must be noticed.
    if (inputs.empty()) {
        std::cerr << "no inputs to replay\n";
        return 2;
    }
    for (const fs::path& path : inputs) {
        if (!replay(path)) {
            std::cerr << "cannot read " << path.string() << '\n';
            return 2;
        }
    }
    std::cout << "replayed " << inputs.size() << " inputs\n";
    return 0;
}
