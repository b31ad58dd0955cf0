// The fault matrix on virtual time: every case, over the device model behind Maillink's own
// protocol logic, in a fraction of a second each.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "maillink.h"
#include "matrix_line.h"
#include "memory_transfer.h"
#include "port_settings.h"
#include "virtual_line.h"

namespace {

class VirtualMatrixLine : public MatrixLine {
public:
    VirtualMatrixLine() {
        // FAULT_MATRIX_LINE=paced: a 9600-baud line with a USB adapter's latency.
        const char *kind = std::getenv("FAULT_MATRIX_LINE");
        virtualline::Reset(kind != nullptr && std::strcmp(kind, "paced") == 0);
        PortSettings.PortNumber = 1;
        PortSettings.BaudRate = 9600;
        // The transfers time a failed mail and pause before a retry on the same clock.
        SetTransferClock({virtualline::Now, [](std::chrono::milliseconds t) { virtualline::Advance(t); }});
    }
    ~VirtualMatrixLine() override { SetTransferClock({}); }

    void SetDeviceConfig(const Bytes &config) override { virtualline::Device().config = config; }
    Bytes DeviceConfig() const override { return virtualline::Device().config; }
    void SetFault(const repeatersim::FaultPlan &plan) override { virtualline::Device().SetFaults({plan}); }
    unsigned MailCount() const override { return virtualline::Device().MailCount(); }
    std::chrono::steady_clock::time_point Now() const override { return virtualline::Now(); }
    bool ExactTime() const override { return true; }

    void ExpectReleased(bool hungUp) override {
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT) << "the port was left open";
        EXPECT_FALSE(virtualline::IsOpen());
        EXPECT_EQ(virtualline::Count().opens, virtualline::Count().closes);
        EXPECT_EQ(virtualline::IsHungUp(), hungUp);
        if (hungUp) return;
        ASSERT_EQ(OpenSerialPort(1, 9600), 1) << "the device cannot be opened again";
        CloseSerialPort();
    }
};

}  // namespace

std::unique_ptr<MatrixLine> MakeMatrixLine() { return std::make_unique<VirtualMatrixLine>(); }

// The 196 cases, and every fault at every mail of a Save's read-back as well.
std::vector<FaultCase> MatrixCases() {
    std::vector<FaultCase> cases = AllFaultCases();
    const std::vector<FaultCase> readBack = ReadBackFaultCases();
    cases.insert(cases.end(), readBack.begin(), readBack.end());
    return cases;
}
