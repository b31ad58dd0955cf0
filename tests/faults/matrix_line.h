// The line a fault matrix case runs on: the simulated repeater on a pseudo-terminal in real time,
// or its device model behind Maillink's platform interface in virtual time. Each test program of
// the matrix supplies one kind, and the cases it runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "fault_cases.h"
#include "repeater_sim.h"

class MatrixLine {
public:
    using Bytes = std::vector<uint8_t>;
    virtual ~MatrixLine() = default;

    // The device's configuration memory (repeatersim::kConfigSize bytes).
    virtual void SetDeviceConfig(const Bytes &config) = 0;
    virtual Bytes DeviceConfig() const = 0;
    // Sets the one fault and restarts the device's mail count.
    virtual void SetFault(const repeatersim::FaultPlan &plan) = 0;
    // Complete frames the device saw.
    virtual unsigned MailCount() const = 0;
    // The time the line runs on, and whether it is exact (virtual: no load, no timer slack).
    virtual std::chrono::steady_clock::time_point Now() const = 0;
    virtual bool ExactTime() const { return false; }
    // Called just before the sequence runs.
    virtual void BeforeRun() {}
    // After the sequence: the port is closed and held by nobody, so that it can be opened again
    // at once (unless the device hung up, which leaves nothing to open).
    virtual void ExpectReleased(bool hungUp) = 0;
};

// A fresh line with PortSettings pointing at it.
std::unique_ptr<MatrixLine> MakeMatrixLine();
// The cases this program runs.
std::vector<FaultCase> MatrixCases();
