// Under Wine the simulated repeater is the Linux repeater-sim program, started by the test driver
// with a memory file. This is the tests' view of it: the memories as that file holds them (the
// simulator saves the file after every write mail).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "repeater_sim.h"

class ExternalSimulator {
public:
    // The memory file named by the environment variable (a Windows path). Throws
    // std::runtime_error when the variable is not set.
    explicit ExternalSimulator(const char *memoryFileVariable);

    std::array<uint8_t, repeatersim::kInfoSize> Info() const;
    std::vector<uint8_t> Config() const;  // repeatersim::kConfigSize bytes

private:
    // The bytes of the memory lines starting with keyword ("info" or "config"), in file order.
    std::vector<uint8_t> Read(const std::string &keyword) const;

    std::string path_;
};
