// The memory file: round trip, strict reading, and its use by a running simulator.
#include "sim_fixture.h"
#include "temp_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using repeatersim::kConfigSize;
using repeatersim::kInfoSize;
using repeatersim::Simulator;

namespace {

class MemoryFileTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.Path().empty());
        dir_ = folder_.Path();
    }

    std::string Write(const std::string &name, const std::string &text) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path) << text;
        return path;
    }
    static std::string Read(const std::string &path) {
        std::ifstream in(path);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    testsupport::TempFolder folder_{"repeater-sim-test"};
    fs::path dir_;
};

std::array<uint8_t, kInfoSize> InfoPattern() {
    std::array<uint8_t, kInfoSize> info{};
    for (std::size_t i = 0; i < info.size(); ++i) info[i] = static_cast<uint8_t>(0xF0 - i * 3);
    return info;
}

}  // namespace

TEST_F(MemoryFileTest, SavedMemoryLoadsBackIdentically) {
    Simulator a;
    Bytes config(kConfigSize);
    for (std::size_t i = 0; i < config.size(); ++i) config[i] = static_cast<uint8_t>(i * 31 + 7);
    a.SetInfo(InfoPattern());
    a.SetConfig(config);
    const std::string path = (dir_ / "memory.txt").string();
    a.SaveMemory(path);

    Simulator b;
    b.LoadMemory(path);
    EXPECT_EQ(b.Info(), InfoPattern());
    EXPECT_EQ(b.Config(), config);

    // Readable by people: 2 info lines and 16 config lines of 16 bytes.
    std::istringstream lines(Read(path));
    int info = 0, cfg = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("info ", 0) == 0) ++info;
        if (line.rfind("config ", 0) == 0) ++cfg;
        if (line[0] != '#') {
            EXPECT_EQ(line.size(), line.find(' ') + 16 * 3u) << line;
        }
    }
    EXPECT_EQ(info, 2);
    EXPECT_EQ(cfg, 16);
}

TEST_F(MemoryFileTest, MalformedFilesAreRefusedAndChangeNothing) {
    std::string tooManyInfo = "info";
    for (int i = 0; i < 33; ++i) tooManyInfo += " 00";
    std::string tooManyConfig;
    for (int line = 0; line < 16; ++line) {
        tooManyConfig += "config";
        for (int i = 0; i < 16; ++i) tooManyConfig += " 00";
        tooManyConfig += "\n";
    }
    tooManyConfig += "config 01\n";
    const struct {
        const char *name;
        std::string text;
    } cases[] = {
        {"not hex", "info 0G\n"},
        {"one digit", "info 1\n"},
        {"three digits", "config 123\n"},
        {"prefixed", "config 0x12\n"},
        {"unknown keyword", "eeprom 00 01\n"},
        {"too many info bytes", tooManyInfo},
        {"too many config bytes", tooManyConfig},
        {"bad byte after good ones", "config 01 02\nconfig 03 zz\n"},
    };
    Simulator sim;
    sim.SetInfo(InfoPattern());
    const Bytes config = sim.Config();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(sim.LoadMemory(Write("bad.txt", c.text)), std::runtime_error);
        EXPECT_EQ(sim.Info(), InfoPattern());
        EXPECT_EQ(sim.Config(), config);
    }
    EXPECT_THROW(sim.LoadMemory((dir_ / "missing.txt").string()), std::runtime_error);
}

TEST_F(MemoryFileTest, ANamedMemoryIsReplacedWholeAndCommentsAreSkipped) {
    Simulator sim;
    sim.SetInfo(InfoPattern());
    sim.LoadMemory(Write("part.txt", "# two bytes only\n\nconfig 0a FF  # trailing comment\n"));
    Bytes expected(kConfigSize, 0);
    expected[0] = 0x0A;
    expected[1] = 0xFF;
    EXPECT_EQ(sim.Config(), expected);
    EXPECT_EQ(sim.Info(), InfoPattern());
}

TEST_F(MemoryFileTest, RunningSimulatorLoadsAtStartAndSavesEveryWrite) {
    repeatersim::Options options;
    options.memoryFile = (dir_ / "repeater.txt").string();
    options.eepromBusyMs = 0;
    {
        Simulator sim(options);  // no file yet: the sample repeater
        sim.Start();
        EXPECT_EQ(sim.Config(), repeatersim::SampleConfigImage());
        EXPECT_FALSE(fs::exists(options.memoryFile));
        HostLine host(sim.DevicePath());
        host.Write(WriteMail(0x0030, Bytes(8, 0xC4)));
        host.Read(20);
        host.ReadUntilQuiet(milliseconds(50));
        ASSERT_TRUE(fs::exists(options.memoryFile));
        Simulator copy;
        copy.LoadMemory(options.memoryFile);
        EXPECT_EQ(copy.Config(), sim.Config());
        EXPECT_EQ(copy.Config()[0x30], 0xC4);
    }
    Simulator again(options);
    again.Start();
    EXPECT_EQ(again.Config()[0x37], 0xC4);
    EXPECT_EQ(again.Info(), repeatersim::SampleInfoBlock());

    Write("repeater.txt", "config 00 GG\n");
    Simulator refused(options);
    EXPECT_THROW(refused.Start(), std::runtime_error);
}

TEST_F(MemoryFileTest, PublishLinksComPortsAndStopRemovesOnlyItsOwn) {
    const std::string ports = (dir_ / "new" / "ports").string();  // created on demand
    Simulator a, b;
    a.Start();
    b.Start();
    a.Publish(ports, 3);
    const fs::path com3 = fs::path(ports) / "COM3";
    ASSERT_TRUE(fs::is_symlink(com3));
    EXPECT_EQ(fs::read_symlink(com3), a.DevicePath());
    {
        HostLine host(com3.string());  // the link leads to a working line
        host.Write({0x12});
        EXPECT_EQ(host.Read(1), Bytes{0x12});
    }

    b.Publish(ports, 3);  // replaces a's entry
    EXPECT_EQ(fs::read_symlink(com3), b.DevicePath());
    a.Stop();
    EXPECT_TRUE(fs::is_symlink(com3));
    b.Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(com3)));

    Simulator never;
    EXPECT_THROW(never.Publish(ports, 1), std::runtime_error);
}
