// relaycfg ports --find against several simulated ports at once: a repeater, another device, a
// silent line and a port another process holds.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cli_fixture.h"
#include "exit_codes.h"
#include "port_holder.h"

namespace {

using testsupport::PortHolder;

class CliFind : public CliTest {
protected:
    // COM2: a device of another type; COM3: silent; COM4: held by another process.
    void SetUp() override {
        CliTest::SetUp();
        for (unsigned n = 2; n <= 4; ++n) {
            others_.push_back(std::make_unique<repeatersim::Simulator>());
            others_.back()->Start();
            others_.back()->Publish(ports_.Path(), n);
        }
        Other(2).SetFault({repeatersim::Fault::WrongDeviceType, 0, 'b'});
        Other(3).SetFault({repeatersim::Fault::Silence, 0, 0});
    }
    repeatersim::Simulator &Other(unsigned n) { return *others_[n - 2]; }
    std::string Device(repeatersim::Simulator &sim) {
        return std::filesystem::canonical(sim.DevicePath()).string();
    }

    std::vector<std::unique_ptr<repeatersim::Simulator>> others_;
};

TEST_F(CliFind, NamesEachPortsAnswerAndTheRepeaterFirst) {
    PortHolder holder(ports_.Entry(4));
    ASSERT_TRUE(holder.Holding());
    // The silent port first in the list, so that the repeater's line is moved ahead of it.
    std::filesystem::rename(ports_.Entry(1), ports_.Entry(5));

    const CliRun run = Run({"ports", "--find"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    const auto line = [&](unsigned n, repeatersim::Simulator &sim, const std::string &what) {
        return "COM" + std::to_string(n) + " " + Device(sim) + " (via " + ports_.Entry(n) + "): " + what + "\n";
    };
    EXPECT_EQ(run.out, line(5, sim_, "supported repeater") +
                           line(2, Other(2), "another device, device type 62 (\"b\")") +
                           line(3, Other(3), "no answer: No response.") +
                           line(4, Other(4), std::string("in use: ") + std::strerror(EWOULDBLOCK) +
                                                 " (another program holds the port)"));
    EXPECT_EQ(Other(4).MailCount(), 0u) << "a held port is not asked";
    EXPECT_EQ(sim_.MailCount(), 4u) << "the identification block only";

}

TEST_F(CliFind, ExitCodeTellsNoneOneOrSeveral) {
    std::filesystem::remove(ports_.Entry(3));  // no silent line: each run is quick
    std::filesystem::remove(ports_.Entry(4));

    const CliRun quiet = Run({"ports", "--find", "--quiet"});
    EXPECT_EQ(quiet.code, kExitOk);
    EXPECT_EQ(quiet.out, "COM1\n") << "the port alone, for --port \"$(...)\"";
    EXPECT_EQ(quiet.err, "");

    const CliRun json = Run({"ports", "--find", "--json", "--quiet"});
    EXPECT_EQ(json.code, kExitOk);
    EXPECT_EQ(json.out, "{\"found\": \"COM1\", \"ports\": [{\"port\": \"COM1\", \"device\": \"" +
                            Device(sim_) + "\", \"result\": \"repeater\"}, {\"port\": \"COM2\", "
                            "\"device\": \"" + Device(Other(2)) +
                            "\", \"result\": \"other_device\", \"device_type\": 98}]}\n");

    Other(2).SetFault({});  // a second repeater
    const CliRun several = Run({"ports", "--find", "--quiet"});
    EXPECT_EQ(several.code, kExitUsage);
    EXPECT_EQ(several.out, "") << "a script gets no port to use";
    EXPECT_EQ(several.err, "Several supported repeaters found (COM1, COM2): choose one with --port.\n");

    std::filesystem::remove(ports_.Entry(1));
    std::filesystem::remove(ports_.Entry(2));
    const CliRun none = Run({"ports", "--find", "--quiet"});
    EXPECT_EQ(none.code, kExitUnsupported);
    EXPECT_EQ(none.out, "");
}

}  // namespace
