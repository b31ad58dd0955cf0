#include "external_simulator.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

ExternalSimulator::ExternalSimulator(const char *memoryFileVariable) {
    const char *path = std::getenv(memoryFileVariable);
    if (path == nullptr || *path == '\0')
        throw std::runtime_error(std::string(memoryFileVariable) + " is not set (run the tests through the Wine driver)");
    path_ = path;
}

std::vector<uint8_t> ExternalSimulator::Read(const std::string &keyword) const {
    std::ifstream file(path_);
    if (!file) throw std::runtime_error("cannot read the simulator's memory file " + path_);
    std::vector<uint8_t> bytes;
    std::string line;
    while (std::getline(file, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word != keyword) continue;
        while (words >> word) bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

std::array<uint8_t, repeatersim::kInfoSize> ExternalSimulator::Info() const {
    std::vector<uint8_t> bytes = Read("info");
    bytes.resize(repeatersim::kInfoSize);
    std::array<uint8_t, repeatersim::kInfoSize> info{};
    for (std::size_t i = 0; i < info.size(); ++i) info[i] = bytes[i];
    return info;
}

std::vector<uint8_t> ExternalSimulator::Config() const {
    std::vector<uint8_t> bytes = Read("config");
    bytes.resize(repeatersim::kConfigSize);
    return bytes;
}
