// One soak worker: a simulated repeater of its own and a run of Load and Save cycles through the
// memory layer's sequences, each with a random fault at a random mail, every outcome checked.
#pragma once

#include <cstdint>

#include "repeater_sim.h"

struct SoakOptions {
    unsigned cycles = 1000;
    uint32_t seed = 1;
    unsigned slowPermille = 20;   // cycles with a fault that waits out a budget (10 to 20 s each)
    unsigned cleanPermille = 400;  // cycles without any fault
    long rssGrowthLimitKib = 4096;
};

// Plain data, so a worker process can hand it to the parent through a pipe as it is.
struct SoakStats {
    static constexpr int kFaultKinds = 8;  // repeatersim::Fault, None included
    uint64_t cycles = 0, loads = 0, saves = 0, savesRefused = 0;
    uint64_t faults[kFaultKinds] = {};
    uint64_t done = 0, unsupported = 0, saveNotTaken = 0;
    uint64_t failedByCode[9] = {};  // transfer result codes 1 to 8
    uint64_t faultsWithoutEffect = 0;  // a fault that could not touch this sequence
    uint64_t silentlyLostWrites = 0;   // a Save reported done although the device holds another image
    uint64_t deviceWhole = 0, deviceUnchanged = 0, deviceMixed = 0;  // after each Save
    uint64_t mixedAfterDamage = 0;  // of deviceMixed: after a fault that a retry should mend
    uint64_t mailsRetried = 0;
    uint64_t simulatorRestarts = 0;    // after a hang-up
    uint64_t unplugged = 0;            // cycles with no device behind the port
    uint64_t violations = 0;
    long fdBaseline = 0, fdEnd = 0;
    long rssBaselineKib = 0, rssMaxKib = 0, rssEndKib = 0;
    double seconds = 0;
    char firstViolation[240] = {};

    void Add(const SoakStats &other);
};

// Runs the cycles in this process. MAILLINK_DEVICE_DIR is set to a private port folder.
SoakStats RunSoakWorker(const SoakOptions &options, unsigned workerIndex);
