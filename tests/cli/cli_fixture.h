// relaycfg run in-process against a simulated repeater published as COM1 in a private port
// directory, with a private folder for the automatic backups.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "maillink.h"
#include "memory_buffers.h"
#include "relaycfg.h"
#include "repeater_sim.h"
#include "temp_folder.h"
#include "temp_port_dir.h"
#include "workflow_state.h"

using Bytes = std::vector<uint8_t>;

// The lines of a text, without their line ends (a last line without one is left out).
inline std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// How often part stands in text.
inline std::size_t Count(const std::string &text, const std::string &part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Write mails (FF FF 4D 02 0E 3B ...) among the bytes a host sent a simulated repeater.
inline unsigned WriteMailsIn(const Bytes &sent) {
    const Bytes head = {0xFF, 0xFF, 0x4D, 0x02, 0x0E, 0x3B};
    unsigned count = 0;
    for (auto it = sent.begin();
         (it = std::search(it, sent.end(), head.begin(), head.end())) != sent.end(); ++it)
        ++count;
    return count;
}

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        sim_.Start();
        sim_.Publish(ports_.Path(), 1);
        ::setenv("XDG_STATE_HOME", state_.Path().c_str(), 1);
        std::fill(std::begin(InfoBlock), std::end(InfoBlock), uint8_t{0});
        std::fill(std::begin(ConfigImage), std::end(ConfigImage), uint8_t{0});
        DataLoaded = false;
        ParkLastDigit = '\0';
    }

    void TearDown() override {
        ::unsetenv("XDG_STATE_HOME");
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT) << "relaycfg left the port open";
    }

    CliRun Run(std::vector<std::string> args, bool live = false) {
        std::ostringstream out, err;
        CliRun run;
        run.code = RunRelaycfg(args, {out, err, live});
        run.out = out.str();
        run.err = err.str();
        return run;
    }

    Bytes DeviceImage() const {
        const Bytes config = sim_.Config();
        return Bytes(config.begin(), config.begin() + 80);
    }

    // The device's configuration memory set to distinct-looking bytes; a class-A parent RFPI
    // 02 5A 3C 81 43 at 68 unless the caller changes it.
    Bytes GiveDeviceImage(uint8_t seed) {
        Bytes config(repeatersim::kConfigSize);
        for (std::size_t i = 0; i < config.size(); ++i) config[i] = static_cast<uint8_t>(seed + 7 * i);
        const Bytes rfpi = {0x02, 0x5A, 0x3C, 0x81, 0x43};
        std::copy(rfpi.begin(), rfpi.end(), config.begin() + 68);
        sim_.SetConfig(config);
        return Bytes(config.begin(), config.begin() + 80);
    }

    void DeviceType(uint8_t type) {
        auto info = sim_.Info();
        info[18] = type;
        sim_.SetInfo(info);
    }

    unsigned WriteMailsSent() const { return WriteMailsIn(sim_.Received()); }

    std::vector<std::string> AutomaticBackups() const {
        std::vector<std::string> files;
        const std::filesystem::path folder = state_.Path() + "/relaycfg/backups";
        std::error_code ec;
        for (const auto &entry : std::filesystem::directory_iterator(folder, ec))
            files.push_back(entry.path().string());
        std::sort(files.begin(), files.end());
        return files;
    }

    TempPortDir ports_;
    testsupport::TempFolder state_;
    testsupport::TempFolder files_;
    repeatersim::Simulator sim_;
};
