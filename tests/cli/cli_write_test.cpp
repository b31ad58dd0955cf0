// relaycfg restore and set against the simulated repeater: round trips, refusals before anything
// is written, the automatic backup, failed writes and verify mismatches.
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>

#include "backup_file.h"
#include "cli_fixture.h"
#include "exit_codes.h"
#include "image_layout.h"
#include "image_rules.h"
#include "load_save.h"
#include "port_settings.h"

namespace {

std::string ReadFile(const std::string &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string &path, const std::string &text) { std::ofstream(path) << text; }

class CliWrite : public CliTest {
protected:
    // A backup of the device as it is now.
    std::string BackUpDevice(const std::string &name) {
        const std::string file = files_.File(name);
        const CliRun run = Run({"backup", "--port", "COM1", file, "--quiet"});
        EXPECT_EQ(run.code, kExitOk) << run.err;
        return file;
    }
};

TEST_F(CliWrite, BackupThenRestoreGivesTheSameImageByteForByte) {
    const Bytes original = GiveDeviceImage(0x40);
    const std::string file = BackUpDevice("before.txt");

    const Bytes changed = GiveDeviceImage(0x99);
    ASSERT_NE(changed, original);
    const CliRun run = Run({"restore", "--port", "COM1", file});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(run.out, "Restored " + file + " to COM1: 80 bytes written and verified.\n");
    EXPECT_EQ(DeviceImage(), original);
    EXPECT_EQ(WriteMailsSent(), 10u);

    // The image it replaced was saved first, and the message says where.
    const std::vector<std::string> backups = AutomaticBackups();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(run.err.find("Saved the repeater's current image in " + backups[0] + "\n"),
              std::string::npos);
    EXPECT_EQ(std::filesystem::path(backups[0]).filename().string().rfind("COM1-", 0), 0u);
    const BackupReading saved = ParseBackup(ReadFile(backups[0]));
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(Bytes(saved.memory.image.begin(), saved.memory.image.end()), changed);
    EXPECT_EQ(std::filesystem::status(backups[0]).permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::none);
}

TEST_F(CliWrite, RestoreRefusesADamagedOrForeignFileBeforeSendingAnything) {
    GiveDeviceImage(0x41);
    const std::string good = ReadFile(BackUpDevice("good.txt"));
    sim_.ClearReceived();

    auto replaced = [&good](const std::string &from, const std::string &to) {
        std::string text = good;
        const std::size_t at = text.find(from);
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return text;
    };
    struct Case {
        const char *name;
        std::string text;
        const char *reason;
    };
    const std::string image48 = good.substr(good.find("image 48: "), 12);
    const Case cases[] = {
        {"byte added", replaced("image 20: ", "image 20: 00 "), "must hold eight bytes"},
        {"byte changed",
         replaced(image48, image48.substr(0, 10) + (image48[10] == '0' ? "1" : "0") +
                               image48.substr(11)),
         "checksum mismatch"},
        {"line missing", replaced("image 18: ", "# image 18: "), "the line image 18 is missing"},
        {"foreign", "[Com settings]\nPort=3\n", "not a relaycfg backup file"},
        {"empty", "", "the file is empty"},
        {"truncated", good.substr(0, good.find("image 20: ")), "the line image 20 is missing"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = files_.File("bad.txt");
        WriteFile(file, c.text);
        const CliRun run = Run({"restore", "--port", "COM1", file});
        EXPECT_EQ(run.code, kExitFile);
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Nothing was sent to the repeater."), std::string::npos);
        EXPECT_TRUE(sim_.Received().empty()) << "not a single byte reaches the line";
    }
    const CliRun missing = Run({"restore", "--port", "COM1", files_.File("none.txt")});
    EXPECT_EQ(missing.code, kExitFile);
    EXPECT_TRUE(sim_.Received().empty());
    EXPECT_TRUE(AutomaticBackups().empty());
}

TEST_F(CliWrite, RestoreRefusesAnUnsupportedDevice) {
    const std::string file = BackUpDevice("rep.txt");
    const Bytes before = GiveDeviceImage(0x55);
    DeviceType('b');
    const CliRun run = Run({"restore", "--port", "COM1", file, "--quiet"});
    EXPECT_EQ(run.code, kExitUnsupported);
    EXPECT_EQ(run.err, "Unsupported repeater device\n");
    EXPECT_EQ(WriteMailsSent(), 0u);
    EXPECT_EQ(DeviceImage(), before);
}

TEST_F(CliWrite, FailedWriteNamesTheAutomaticBackupAndTheRestoreCommand) {
    const std::string file = BackUpDevice("rep.txt");
    const Bytes before = GiveDeviceImage(0x66);
    // Load (4 + 10 mails), the Save's identification read (4), then the fourth write mail and
    // its one retry.
    sim_.SetFault({repeatersim::Fault::CorruptEcho, 14 + 4 + 4, 9});
    sim_.AddFault({repeatersim::Fault::CorruptEcho, 14 + 4 + 5, 9});
    const CliRun run = Run({"restore", "--port", "COM1", file, "--quiet"});
    EXPECT_EQ(run.code, kExitTransfer);
    EXPECT_EQ(run.out, "") << "a failed write is never reported as done";
    const std::vector<std::string> backups = AutomaticBackups();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(run.err, "An error occured while writing to target: No local echo.\n"
                       "The repeater may hold part of the new image.\n"
                       "The repeater's previous image is saved in " + backups[0] + ".\n"
                       "Put it back with: relaycfg restore --port COM1 " + backups[0] + "\n");

    // The named command does put the earlier image back (once the device has finished the
    // EEPROM write it was busy with when the echo went wrong).
    sim_.SetFault({});
    ASSERT_TRUE(sim_.WaitIdle());
    ASSERT_EQ(Run({"restore", "--port", "COM1", backups[0], "--quiet"}).code, kExitOk);
    EXPECT_EQ(DeviceImage(), before);
}

// A device whose EEPROM cell for bit 7 of byte 17 is stuck at 0: it serves reads from its own
// memory and applies writes except that bit. The responder stands in for the simulator's model.
struct StuckBitDevice {
    std::array<uint8_t, repeatersim::kInfoSize> info;
    Bytes config;

    Bytes Answer(const Bytes &frame) {
        if (frame.size() < 12) return {};
        const uint8_t command = frame[5], selector = frame[7];
        const unsigned address = frame[9] | (frame[10] << 8);
        if (command == 0x3B) {
            for (unsigned i = 0; i < frame[8] && address + i < config.size(); ++i) {
                config[address + i] = frame[11 + i];
                if (address + i == 17) config[17] &= 0x7F;
            }
            return {};
        }
        Bytes reply = {0x4D, 0x02, 0x08, 0x3C};
        for (unsigned i = 0; i < 8; ++i)
            reply.push_back(selector == 0xFF ? info[(address + i) % info.size()]
                                             : config[(address + i) % config.size()]);
        reply.push_back(static_cast<uint8_t>(std::accumulate(reply.begin() + 3, reply.end(), 0u)));
        return reply;
    }
};

TEST_F(CliWrite, VerifyNamesEveryDifferingByte) {
    Bytes config = sim_.Config();
    config[17] = 0x80;  // the backup has the beep on, which this device cannot store
    config[30] = 0x12;
    sim_.SetConfig(config);
    const std::string file = BackUpDevice("rep.txt");

    StuckBitDevice device{sim_.Info(), sim_.Config()};
    device.config[17] = 0x00;
    device.config[30] = 0x34;
    sim_.SetResponder([&device](const Bytes &frame) { return device.Answer(frame); });

    const CliRun run = Run({"restore", "--port", "COM1", file, "--quiet"});
    sim_.SetResponder({});
    EXPECT_EQ(run.code, kExitVerify);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Verify failed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("byte 17 (0x11, monitor beep (bit 7)): wrote 80, read back 00\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("byte 30"), std::string::npos) << "byte 30 was written correctly";
    EXPECT_NE(run.err.find("Put it back with: relaycfg restore --port COM1 "), std::string::npos);
    EXPECT_EQ(device.config[30], 0x12);
}

// Bytes 22 and 23 may be set by the device itself: a difference there is told, not a failure.
TEST_F(CliWrite, DeviceOwnBytesAreToldButPassTheVerify) {
    GiveDeviceImage(0x40);
    const std::string file = BackUpDevice("before.txt");
    Bytes config = sim_.Config();
    config[22] ^= 0xFF;  // the device differs from the backup in byte 22 only
    sim_.SetConfig(config);
    // Load (14 mails), the Save's identification read (4), then the write of bytes 16 to 23.
    sim_.SetFault({repeatersim::Fault::IgnoreWrite, 14 + 4 + 3, 0});

    const CliRun run = Run({"restore", "--port", "COM1", file});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.err.find("Not checked, the repeater may set these bytes itself:\nbyte 22 (0x16"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Verify failed"), std::string::npos) << run.err;
    EXPECT_EQ(sim_.MailCount(), 14u + 4 + 10 + 10) << "one read-back, not two";
}

TEST_F(CliWrite, NoWriteWithoutTheAutomaticBackup) {
    const std::string file = BackUpDevice("rep.txt");
    const Bytes before = GiveDeviceImage(0x77);
    // A plain file where the backup folder's parent should be: the folder cannot be made.
    ::setenv("XDG_STATE_HOME", file.c_str(), 1);
    const CliRun run = Run({"restore", "--port", "COM1", file, "--quiet"});
    EXPECT_EQ(run.code, kExitFile);
    EXPECT_NE(run.err.find("Cannot save the repeater's current image before writing"),
              std::string::npos);
    EXPECT_NE(run.err.find("Nothing was written."), std::string::npos);
    EXPECT_EQ(WriteMailsSent(), 0u);
    EXPECT_EQ(DeviceImage(), before);
}

// ---- set ---------------------------------------------------------------------------------------

// The same edits through the memory layer's rules in the order the window applies them: the
// display after Load, each field exit with its display refresh, the HOP box, the Save's
// preparation.
Bytes WindowRules(Bytes image, const std::vector<std::function<RuleResult(uint8_t *)>> &exits,
                  std::optional<bool> ignoreHop) {
    DisplayFields shown = RefreshImageForDisplay(image.data());
    ParkLastDigit = shown.parkLastDigit;
    for (const auto &exit : exits) {
        EXPECT_TRUE(exit(image.data()).ok);
        shown = RefreshImageForDisplay(image.data());
        ParkLastDigit = shown.parkLastDigit;
    }
    EXPECT_TRUE(PrepareImageForSave(image.data(), ignoreHop.value_or(shown.ignoreHop),
                                    shown.repeaterRpn, shown.baseRpn)
                    .ok);
    return image;
}

TEST_F(CliWrite, SetWritesWhatTheWindowsRulesMake) {
    struct Case {
        const char *name;
        std::vector<std::string> args;
        std::vector<std::function<RuleResult(uint8_t *)>> exits;
        std::optional<bool> ignoreHop;
    };
    const Case cases[] = {
        {"rpns", {"--base-rpn", "1", "--repeater-rpn", "6"},
         {[](uint8_t *i) { return ApplyBaseRpnText(i, "1"); },
          [](uint8_t *i) { return ApplyRepeaterRpnText(i, "6"); }},
         std::nullopt},
        {"rfpi to class B then rpns",
         {"--parent-rfpi", "12:34:56:78:9a", "--base-rpn", "200", "--repeater-rpn", "17"},
         {[](uint8_t *i) { return ApplyRfpiText(i, "12 34 56 78 9a"); },
          [](uint8_t *i) { return ApplyBaseRpnText(i, "200"); },
          [](uint8_t *i) { return ApplyRepeaterRpnText(i, "17"); }},
         std::nullopt},
        {"park and switches",
         {"--park", "40000000001", "--monitor-beep", "off", "--ignore-hop", "on",
          "--repeater-rpn", "1"},
         {[](uint8_t *i) { return ApplyParkText(i, "40000000001", ParkLastDigit); },
          [](uint8_t *i) { return ApplyRepeaterRpnText(i, "1"); },
          [](uint8_t *i) {
              ApplyMonitorBeep(i, false);
              return RuleResult::Ok();
          }},
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes loaded = GiveDeviceImage(0x21);
        const Bytes expected = WindowRules(loaded, c.exits, c.ignoreHop);

        std::vector<std::string> args = {"set", "--port", "COM1", "--quiet"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = Run(args);
        ASSERT_EQ(run.code, kExitOk) << run.err;
        EXPECT_EQ(DeviceImage(), expected);
        EXPECT_NE(run.out.find("\nChanges:\n"), std::string::npos);
    }
}

TEST_F(CliWrite, SetOnAClassAParentWritesTheRpnsAndSwitches) {
    GiveDeviceImage(0x00);  // parent 02 5A 3C 81 43: ARI class A
    const CliRun run = Run({"set", "--port", "COM1", "--quiet", "--base-rpn", "1",
                            "--repeater-rpn", "6", "--ignore-hop", "on"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    const Bytes image = DeviceImage();
    EXPECT_EQ(image[72], 0x41) << "the parent RFPI's high bits stay";
    EXPECT_EQ(image[2], 6);
    EXPECT_EQ(image[5], 0x82);
    EXPECT_EQ(image[22], 0);
    EXPECT_EQ(image[23], 0);
    EXPECT_EQ(image[67], 0xA8);
    EXPECT_NE(run.out.find("Base RPN:           1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("byte 72 (0x48, parent RFPI, last byte: parent RPN): was 43, now 41\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(AutomaticBackups().size(), 1u);
}

TEST_F(CliWrite, DryRunWritesNothing) {
    const Bytes before = GiveDeviceImage(0x31);
    const CliRun run = Run({"set", "--port", "COM1", "--dry-run", "--base-rpn", "2",
                            "--repeater-rpn", "4"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(WriteMailsSent(), 0u);
    EXPECT_EQ(sim_.MailCount(), 14u) << "only the Load";
    EXPECT_EQ(DeviceImage(), before);
    EXPECT_TRUE(AutomaticBackups().empty());
    EXPECT_NE(run.out.find("Base RPN:           2\n"), std::string::npos);
    EXPECT_NE(run.out.find("byte 72 (0x48, parent RFPI, last byte: parent RPN): is 43, would "
                           "become 42\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nImage:\nimage 00: "), std::string::npos);
    EXPECT_NE(run.err.find("Dry run: nothing was written.\n"), std::string::npos);
}

TEST_F(CliWrite, RefusedEditsWriteNothing) {
    GiveDeviceImage(0x00);  // base RPN 3 on the device
    struct Case {
        std::vector<std::string> edit;
        const char *message;
        unsigned mails;  // what reached the line: none for a malformed text
    };
    const Case cases[] = {
        {{"--base-rpn", "256"}, "Base rpn does not have right format", 0},
        {{"--repeater-rpn", ""}, "Repeater rpn does not have right format", 0},
        {{"--repeater-rpn", "-1"}, "Repeater rpn does not have right format", 0},
        {{"--parent-rfpi", "02 5A 3C 81 4G"}, "Rfpi does not have right format", 0},
        {{"--parent-rfpi", "02 5A 3C 81"}, "Rfpi does not have right format", 0},
        {{"--park", "01132171009"}, "Park does not have right format", 0},
        {{"--park", "011321710050"}, "Park does not have right format", 0},
        {{"--repeater-rpn", "3"}, "Repeater RPN cannot be equal to base RPN!", 14},
        // The window would keep the low three bits (RPN 1); the plan rules refuse it, so does set.
        {{"--repeater-rpn", "9"}, "Repeater RPN 9 does not fit ARI class A (0 to 7)", 14},
        {{"--base-rpn", "8", "--repeater-rpn", "2"}, "Base RPN 8 does not fit ARI class A (0 to 7)", 14},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        sim_.SetFault({});  // restarts the mail count
        std::vector<std::string> args = {"set", "--port", "COM1", "--quiet"};
        args.insert(args.end(), c.edit.begin(), c.edit.end());
        const CliRun run = Run(args);
        EXPECT_EQ(run.code, kExitRefused);
        EXPECT_EQ(run.err.rfind(std::string(c.message) + "\n", 0), 0u) << run.err;
        EXPECT_EQ(sim_.MailCount(), c.mails);
        EXPECT_EQ(WriteMailsSent(), 0u);
    }
    EXPECT_TRUE(AutomaticBackups().empty());
}

}  // namespace
