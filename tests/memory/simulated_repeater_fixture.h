// A simulated repeater published as COM1 in a private port directory, with the memory layer's
// program-wide state reset around each test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "maillink.h"
#include "memory_buffers.h"
#include "port_settings.h"
#include "repeater_sim.h"
#include "temp_port_dir.h"
#include "workflow_state.h"

class SimulatedRepeaterTest : public testing::Test {
protected:
    static constexpr unsigned kPort = 1;

    void SetUp() override {
        sim_.Start();
        sim_.Publish(ports_.Path(), kPort);
        PortSettings.PortNumber = kPort;
        PortSettings.BaudRate = 9600;
        std::fill(std::begin(InfoBlock), std::end(InfoBlock), uint8_t{0});
        std::fill(std::begin(ConfigImage), std::end(ConfigImage), uint8_t{0});
        DataLoaded = false;
        ParkLastDigit = '\0';
    }

    void TearDown() override {
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT) << "a transfer left the port open";
    }

    // Gives the device a configuration memory of distinct-looking bytes derived from seed.
    std::vector<uint8_t> GiveDeviceDistinctConfig(uint8_t seed) {
        std::vector<uint8_t> config(repeatersim::kConfigSize);
        for (std::size_t i = 0; i < config.size(); ++i) {
            config[i] = static_cast<uint8_t>(seed + 7 * i);
        }
        sim_.SetConfig(config);
        return config;
    }

    // The fault at its mail and again at the next one: the mail and its one retry both fail.
    void FaultTwice(repeatersim::FaultPlan plan) {
        sim_.SetFault(plan);
        sim_.AddFault({plan.kind, plan.atMail + 1, plan.value});
    }

    static std::vector<uint8_t> ImageBytes(std::size_t from, std::size_t to) {
        return {ConfigImage + from, ConfigImage + to};
    }

    TempPortDir ports_;
    repeatersim::Simulator sim_;
};
