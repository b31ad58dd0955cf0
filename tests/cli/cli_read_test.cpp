// relaycfg ports, show and backup against the simulated repeater.
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "backup_file.h"
#include "cli_fixture.h"
#include "exit_codes.h"
#include "image_rules.h"
#include "text_files.h"

namespace {

using CliRead = CliTest;

std::string ReadFile(const std::string &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(CliRead, PortsListsTheOpenablePortWithItsDevice) {
    const CliRun run = Run({"ports"});
    EXPECT_EQ(run.code, kExitOk);
    const std::string device = std::filesystem::canonical(sim_.DevicePath()).string();
    EXPECT_EQ(run.out, "COM1 " + device + " (via " + ports_.Entry(1) + ")\n");

    // A second port bound to nothing that exists: only --all shows it, with the reason.
    std::filesystem::create_symlink("/nonexistent/ttyUSB7", ports_.Entry(4));
    EXPECT_EQ(Run({"ports"}).out, run.out);
    const CliRun all = Run({"ports", "--all"});
    EXPECT_NE(all.out.find("COM4 /nonexistent/ttyUSB7 (via " + ports_.Entry(4) +
                           ") unavailable: No such file or directory"),
              std::string::npos)
        << all.out;
}

TEST_F(CliRead, PortsWithNothingOpenableSaysSoOnStandardError) {
    std::filesystem::remove(ports_.Entry(1));
    const CliRun run = Run({"ports"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "No COM port can be opened now.\n");
}

TEST_F(CliRead, ShowPrintsWhatTheWindowShows) {
    const Bytes image = GiveDeviceImage(0x10);
    // The window's fields for this image, from the shared display rules.
    Bytes copy = image;
    const DisplayFields f = RefreshImageForDisplay(copy.data());

    const CliRun text = Run({"show", "--port", "COM1"});
    ASSERT_EQ(text.code, kExitOk) << text.err;
    EXPECT_EQ(text.out, "Parent RFPI:        02 5A 3C 81 43\n"
                        "PARK:               31 01132171005 5\n"
                        "Base RPN:           3\n"
                        "Repeater RPN:       " + f.repeaterRpn + "\n"
                        "Monitor beep:       " + (f.monitorBeep ? "on" : "off") + "\n"
                        "Ignore HOP control: " + (f.ignoreHop ? "on" : "off") + "\n"
                        "Repeater RFPI:      " + f.repeaterRfpiHex.substr(0, 14) + "\n");
    EXPECT_EQ(text.err, "Reading identification block: 4/4 mails\n"
                        "Reading configuration image: 10/10 mails\n");

    const CliRun json = Run({"show", "--port=com1", "--json", "--quiet"});
    ASSERT_EQ(json.code, kExitOk);
    EXPECT_EQ(json.err, "");
    EXPECT_EQ(json.out, "{\"port\": \"COM1\", \"parent_rfpi\": \"02 5A 3C 81 43\", "
                        "\"park_pli\": \"31\", \"park_digits\": \"01132171005\", "
                        "\"park_check\": \"5\", \"base_rpn\": 3, \"repeater_rpn\": " +
                            f.repeaterRpn + ", \"monitor_beep\": " +
                            (f.monitorBeep ? "true" : "false") + ", \"ignore_hop_control\": " +
                            (f.ignoreHop ? "true" : "false") + ", \"repeater_rfpi\": \"" +
                            f.repeaterRfpiHex.substr(0, 14) + "\", \"retries\": 0}\n");
    EXPECT_EQ(DeviceImage(), image) << "show writes nothing";
    EXPECT_EQ(WriteMailsSent(), 0u);
}

TEST_F(CliRead, ShowCountsMailsAndRetriesInPlaceOnATerminal) {
    // The image's third mail (the seventh of the Load) comes back damaged once; its retry passes.
    sim_.SetFault({repeatersim::Fault::BadChecksum, 7, 0});
    const CliRun run = Run({"show", "--port", "COM1"}, true);
    ASSERT_EQ(run.code, kExitOk);
    EXPECT_NE(run.err.find("\rReading identification block: mail 0/4\r"), std::string::npos);
    EXPECT_NE(run.err.find("\rReading configuration image: mail 2/10\r"), std::string::npos);
    EXPECT_NE(run.err.find("\rReading configuration image: mail 3/10, 1 retry\r"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Reading configuration image: mail 10/10 done, 1 retry\n"), std::string::npos);

    // Elsewhere the line that ends the transfer tells it, and so does the JSON.
    sim_.SetFault({repeatersim::Fault::BadChecksum, 7, 0});
    const CliRun json = Run({"show", "--port", "COM1", "--json"});
    ASSERT_EQ(json.code, kExitOk);
    EXPECT_EQ(json.err, "Reading identification block: 4/4 mails\n"
                        "Reading configuration image: 10/10 mails, 1 retry\n");
    EXPECT_NE(json.out.find(", \"retries\": 1}\n"), std::string::npos) << json.out;
}

TEST_F(CliRead, ShowRefusesAnUnsupportedDeviceAfterFourMails) {
    DeviceType('b');
    const CliRun run = Run({"show", "--port", "COM1", "--quiet"});
    EXPECT_EQ(run.code, kExitUnsupported);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Unsupported repeater device\n");
    EXPECT_EQ(sim_.MailCount(), 4u) << "the image is not read";
}

TEST_F(CliRead, TransferFailuresGiveTheWindowsTextAndExitThree) {
    struct Case {
        repeatersim::Fault fault;
        unsigned atMail;
        const char *text;
    };
    const Case cases[] = {
        {repeatersim::Fault::BadChecksum, 2, "Checksum error."},
        {repeatersim::Fault::CorruptEcho, 7, "No local echo."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        sim_.SetFault({c.fault, c.atMail, 0});
        sim_.AddFault({c.fault, c.atMail + 1, 0});  // and its one retry
        const CliRun run = Run({"show", "--port", "COM1"});
        EXPECT_EQ(run.code, kExitTransfer);
        EXPECT_EQ(run.out, "") << "a failed read is never reported as a result";
        EXPECT_NE(run.err.find(std::string("An error occured while reading from target: ") +
                               c.text + "\n"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(", failed\n"), std::string::npos) << "the counter says it failed";
    }
}

TEST_F(CliRead, AnUnopenablePortSaysOpenFailAndWhy) {
    const CliRun run = Run({"show", "--port", "COM5", "--quiet"});
    EXPECT_EQ(run.code, kExitTransfer);
    EXPECT_EQ(run.err, "An error occured while reading from target: Open fail\n"
                       "COM5 resolves to no device (see `relaycfg ports`)\n");

    // A held port: another descriptor has it exclusively.
    const int fd = ::open(ports_.Entry(1).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const CliRun held = Run({"show", "--port", "COM1", "--quiet"});
    ::close(fd);
    EXPECT_EQ(held.code, kExitTransfer);
    EXPECT_NE(held.err.find("(another program holds the port)"), std::string::npos) << held.err;
    EXPECT_EQ(sim_.MailCount(), 0u);
}

TEST_F(CliRead, DevicePathIsBoundForTheRunOnly) {
    GiveDeviceImage(0x20);
    const std::string before = ::getenv("MAILLINK_DEVICE_DIR");
    const CliRun run = Run({"show", "--port", sim_.DevicePath(), "--json", "--quiet"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.out.find("\"port\": \"" + sim_.DevicePath() + "\""), std::string::npos);
    EXPECT_EQ(std::string(::getenv("MAILLINK_DEVICE_DIR")), before);

    // A write through the path: its automatic backup is named after the device.
    const CliRun set = Run({"set", "--port", sim_.DevicePath(), "--quiet", "--monitor-beep", "off"});
    ASSERT_EQ(set.code, kExitOk) << set.err;
    EXPECT_EQ(DeviceImage()[17] & 0x80, 0);
    const std::vector<std::string> backups = AutomaticBackups();
    ASSERT_EQ(backups.size(), 1u);
    std::string stem = sim_.DevicePath().substr(5);  // "pts/N" of "/dev/pts/N"
    EXPECT_EQ(std::filesystem::path(backups[0]).filename().string().rfind(
                  stem.replace(stem.find('/'), 1, "_") + "-", 0),
              0u)
        << backups[0];
    EXPECT_EQ(std::string(::getenv("MAILLINK_DEVICE_DIR")), before);
}

TEST_F(CliRead, BackupWritesBothAreasWithAChecksum) {
    const Bytes image = GiveDeviceImage(0x30);
    const std::string file = files_.File("rep.txt");
    const CliRun run = Run({"backup", "--port", "COM1", file, "--quiet"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(run.out, "Saved COM1 to " + file + ".\n");

    const BackupReading backup = ParseBackup(ReadFile(file));
    ASSERT_TRUE(backup.ok) << backup.error;
    EXPECT_EQ(Bytes(backup.memory.image.begin(), backup.memory.image.end()), image);
    const auto info = sim_.Info();
    EXPECT_TRUE(std::equal(info.begin(), info.end(), backup.memory.info.begin()));
    EXPECT_EQ(backup.port, "COM1");
    EXPECT_EQ(WriteMailsSent(), 0u);
}

TEST_F(CliRead, BackupThatCannotBeWrittenIsAFileError) {
    const CliRun run = Run({"backup", "--port", "COM1", "/nonexistent/dir/rep.txt", "--quiet"});
    EXPECT_EQ(run.code, kExitFile);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Cannot write the backup: /nonexistent/dir/rep.txt"), std::string::npos);
}

TEST_F(CliRead, BackupOfAnUnsupportedDeviceWritesNoFile) {
    DeviceType('z');
    const std::string file = files_.File("rep.txt");
    EXPECT_EQ(Run({"backup", "--port", "COM1", file}).code, kExitUnsupported);
    EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
