// Runs a fuzz target over files and folders of inputs, without libFuzzer: the ordinary test
// build replays each target's seed corpus (and any input kept from a past finding) this way.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size);

namespace {

void Replay(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<uint8_t> input(bytes.begin(), bytes.end());
    // An exactly-sized heap copy, so reads past the input's end are reported.
    auto *copy = new uint8_t[input.size()];
    std::copy(input.begin(), input.end(), copy);
    LLVMFuzzerTestOneInput(copy, input.size());
    delete[] copy;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        if (std::filesystem::is_directory(path)) {
            for (const auto &entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "no inputs given\n");
        return 1;
    }
    for (const auto &file : files) Replay(file);
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
