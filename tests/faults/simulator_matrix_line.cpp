// A few cases of the fault matrix on the simulated repeater's pseudo-terminal, in real time, with
// the Maillink library as it ships: one of each kind of outcome, so that what the virtual line
// stands in for (the pseudo-terminal, the POSIX backend's waits, descriptors, a real hang-up) is
// still checked.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>

#include "maillink.h"
#include "matrix_line.h"
#include "port_settings.h"
#include "temp_port_dir.h"

namespace {

using repeatersim::Fault;

constexpr unsigned kPort = 1;

// The descriptors this process holds now.
std::set<int> OpenDescriptors() {
    std::set<int> fds;
    DIR *dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) return fds;
    const int own = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::stoi(entry->d_name);
        if (fd != own) fds.insert(fd);
    }
    ::closedir(dir);
    return fds;
}

class SimulatorMatrixLine : public MatrixLine {
public:
    SimulatorMatrixLine() {
        sim_.Start();
        sim_.Publish(ports_.Path(), kPort);
        PortSettings.PortNumber = kPort;
        PortSettings.BaudRate = 9600;
    }

    void SetDeviceConfig(const Bytes &config) override { sim_.SetConfig(config); }
    Bytes DeviceConfig() const override { return sim_.Config(); }
    void SetFault(const repeatersim::FaultPlan &plan) override { sim_.SetFault(plan); }
    unsigned MailCount() const override { return sim_.MailCount(); }
    std::chrono::steady_clock::time_point Now() const override { return std::chrono::steady_clock::now(); }
    void BeforeRun() override { fdsBefore_ = OpenDescriptors(); }

    void ExpectReleased(bool hungUp) override {
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT) << "the port was left open";
        const std::set<int> fdsAfter = OpenDescriptors();
        std::vector<int> added;
        std::set_difference(fdsAfter.begin(), fdsAfter.end(), fdsBefore_.begin(), fdsBefore_.end(),
                            std::back_inserter(added));
        EXPECT_TRUE(added.empty()) << "descriptors left open: " << testing::PrintToString(added);
        EXPECT_EQ(sim_.IsHungUp(), hungUp);
        if (hungUp) return;  // the device is gone; there is nothing to reopen
        ASSERT_EQ(OpenSerialPort(kPort, 9600), 1) << "the device cannot be opened again";
        CloseSerialPort();
    }

private:
    TempPortDir ports_;
    repeatersim::Simulator sim_;
    std::set<int> fdsBefore_;
};

}  // namespace

std::unique_ptr<MatrixLine> MakeMatrixLine() { return std::make_unique<SimulatorMatrixLine>(); }

// One case of each outcome: a retried damaged echo on a read and on a write (the real EEPROM
// busy time), retried reply damage, a dropped write found by the read-back, an unsupported
// device, a silent line (the echo budget of the POSIX backend, not retried) and a hang-up.
std::vector<FaultCase> MatrixCases() {
    return {
        {Sequence::Load, Fault::CorruptEcho, 3, 9},
        {Sequence::Save, Fault::CorruptEcho, 8, 15},
        {Sequence::Load, Fault::BadChecksum, 9, 0},
        {Sequence::Load, Fault::ReplyLength, 6, 100},
        {Sequence::Save, Fault::Silence, 10, 0},
        {Sequence::Save, Fault::WrongDeviceType, 3, 0},
        {Sequence::Save, Fault::NoEcho, 6, 0},
        {Sequence::Load, Fault::HangUp, 2, 0},
    };
}
