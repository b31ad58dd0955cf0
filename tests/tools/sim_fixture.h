// A started simulator with the host's end of its line open.
#pragma once

#include "host_line.h"
#include "repeater_sim.h"

#include <gtest/gtest.h>
#include <memory>

class SimulatorTest : public ::testing::Test {
protected:
    void StartWith(repeatersim::Options options) {
        sim_ = std::make_unique<repeatersim::Simulator>(options);
        sim_->Start();
        host_ = std::make_unique<HostLine>(sim_->DevicePath());
    }
    void SetUp() override {
        repeatersim::Options options;
        options.eepromBusyMs = 300;
        StartWith(options);
    }

    // Sends a frame; returns its echo (up to the frame's length) and then whatever the device
    // answers before the line goes quiet.
    struct Exchange {
        Bytes echo;
        Bytes answer;
    };
    Exchange Send(const Bytes &frame) {
        host_->Write(frame);
        Exchange e;
        e.echo = host_->Read(frame.size(), milliseconds(500));
        e.answer = host_->ReadUntilQuiet();
        return e;
    }

    static Bytes Pattern(std::size_t n, uint8_t mul, uint8_t add) {
        Bytes b(n);
        for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * mul + add);
        return b;
    }
    Bytes InfoBytes() const {
        const auto info = sim_->Info();
        return Bytes(info.begin(), info.end());
    }

    std::unique_ptr<repeatersim::Simulator> sim_;
    std::unique_ptr<HostLine> host_;
};
