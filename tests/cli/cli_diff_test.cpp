// relaycfg diff against the simulated repeater: backups and units compared field by field, with
// the exit code of each outcome, and the rule that tells a port from a file.
#include <unistd.h>

#include "backup_file.h"
#include "cli_fixture.h"
#include "exit_codes.h"
#include "image_rules.h"
#include "port_target.h"
#include "test_files.h"

namespace {

class CliDiff : public CliTest {
protected:
    // A backup file of the device's identification block and the given image.
    std::string Backup(const std::string &name, const Bytes &image) {
        RepeaterMemory memory;
        const auto info = sim_.Info();
        std::copy(info.begin(), info.end(), memory.info.begin());
        std::copy(image.begin(), image.end(), memory.image.begin());
        const std::string path = files_.File(name);
        WriteFile(path, FormatBackup(memory, "COM1", "then"));
        return path;
    }
};

TEST_F(CliDiff, ComparesBackupsAndUnitsByteByByte) {
    const Bytes unit = GiveDeviceImage(0x10);
    Bytes edited = unit;
    edited[2] = 6;
    edited[17] ^= 0x80;
    Bytes ownBytes = unit;  // only the bytes the repeater may set itself differ
    ownBytes[22] ^= 0x0F;
    ownBytes[23] = 0;
    const std::string same = Backup("same.txt", unit), other = Backup("other.txt", edited),
                      own = Backup("own.txt", ownBytes);
    const auto line = [](unsigned byte, const char *name, uint8_t a, uint8_t b) {
        char text[128];
        std::snprintf(text, sizeof text, "byte %u (0x%02X, %s): A %02X, B %02X\n", byte, byte, name, a, b);
        return std::string(text);
    };
    struct Case {
        const char *name;
        std::vector<std::string> args;
        int code;
        std::string differences;  // the lines after "Differences:"
        std::string note;         // on standard error
        unsigned mails;
    };
    const Case cases[] = {
        {"a backup of the unit and the unit", {"diff", same, "COM1"}, kExitOk, "none\n", "", 14},
        {"the unit twice", {"diff", "com1", "COM1"}, kExitOk, "none\n", "", 28},
        {"an edited backup and the unit", {"diff", other, "COM1"}, kExitDiffer,
         line(2, "repeater RPN", 6, unit[2]) + line(17, "monitor beep (bit 7)", edited[17], unit[17]), "", 14},
        {"two files, only the repeater's own bytes differ", {"diff", "--quiet", same, own}, kExitOk, "none\n", "", 0},
        {"the same, told in a note", {"diff", same, own}, kExitOk, "none\n",
         "Not counted, the repeater may set these bytes itself:\n" +
             line(22, "cleared before every save", unit[22], ownBytes[22]) +
             line(23, "cleared before every save", unit[23], 0),
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim_.SetFault({});
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.code, c.code) << run.err;
        const std::size_t at = run.out.find("\nDifferences:\n");
        ASSERT_NE(at, std::string::npos) << run.out;
        EXPECT_EQ(run.out.substr(at + 14), c.differences);
        if (c.mails == 0) EXPECT_EQ(run.err, c.note);
        else EXPECT_EQ(run.err.find("Not counted"), std::string::npos) << run.err;
        EXPECT_EQ(sim_.MailCount(), c.mails);
    }
    EXPECT_EQ(WriteMailsSent(), 0u);

    // Both sides as the window shows them.
    Bytes copy = unit;
    const DisplayFields f = RefreshImageForDisplay(copy.data());
    EXPECT_EQ(Run({"diff", other, "COM1", "--quiet"}).out,
              "A: " + other + " (backup of COM1, saved then)\n"
              "B: COM1 (the unit)\n"
              "\n"
              "                    A                 B\n"
              "Parent RFPI:        02 5A 3C 81 43    02 5A 3C 81 43\n"
              "PARK:               31 01132171005 5  31 01132171005 5\n"
              "Base RPN:           3                 3\n"
              "Repeater RPN:       6                 " + f.repeaterRpn + "\n" +
              "Monitor beep:       " + (f.monitorBeep ? "off               on\n" : "on                off\n") +
              "Ignore HOP control: " + (f.ignoreHop ? "on                on\n" : "off               off\n") +
              "Repeater RFPI:      02 5A 3C 81 46    " + f.repeaterRfpiHex.substr(0, 14) + "\n" +
              "\nDifferences:\n" + line(2, "repeater RPN", 6, unit[2]) +
              line(17, "monitor beep (bit 7)", edited[17], unit[17]));

    const CliRun json = Run({"diff", other, "COM1", "--json", "--quiet"});
    EXPECT_EQ(json.code, kExitDiffer);
    EXPECT_EQ(json.out.rfind("{\"alike\": false, \"a\": {\"file\": \"" + other + "\", \"parent_rfpi\": ", 0), 0u)
        << json.out;
    EXPECT_NE(json.out.find(", \"b\": {\"port\": \"COM1\", \"parent_rfpi\": \"02 5A 3C 81 43\""), std::string::npos);
    EXPECT_NE(json.out.find("\"differences\": [{\"byte\": 2, \"name\": \"repeater RPN\", \"a\": 6, \"b\": " +
                            std::to_string(unit[2]) + "}, {\"byte\": 17, "),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"not_counted\": [], \"retries\": 0}\n"), std::string::npos) << json.out;
}

// Files are judged before any port is used; a unit that fails or is no repeater ends it as the
// other commands do.
TEST_F(CliDiff, RefusesWithTheExitCodesOfTheOtherCommands) {
    const Bytes unit = GiveDeviceImage(0x20);
    const std::string good = Backup("good.txt", unit);
    const std::string damaged = files_.File("damaged.txt");
    std::string text = ReadFileOrEmpty(good);
    text.replace(text.find("image 00: "), 11, "image 00: F");
    WriteFile(damaged, text);
    struct Case {
        const char *name;
        std::vector<std::string> args;
        uint8_t deviceType;
        int code;
        const char *message;
        unsigned mails;
    };
    const Case cases[] = {
        {"a missing file", {"diff", "COM1", files_.File("none.txt")}, 'a', kExitFile, "Cannot read the backup: ", 0},
        {"a damaged file", {"diff", "COM1", damaged}, 'a', kExitFile, "Refusing ", 0},
        {"a folder", {"diff", files_.Path(), good}, 'a', kExitFile, "not a regular file", 0},
        {"another device", {"diff", good, "COM1"}, 'b', kExitUnsupported, "Unsupported repeater device", 4},
        {"a port that cannot be opened", {"diff", good, "COM5"}, 'a', kExitTransfer, "Open fail", 0},
        {"one side only", {"diff", good}, 'a', kExitUsage, "give A and B", 0},
        {"three sides", {"diff", good, good, good}, 'a', kExitUsage, "unexpected argument", 0},
        {"--port", {"diff", "--port", "COM1", good}, 'a', kExitUsage, "--port does not apply to diff", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeviceType(c.deviceType);
        sim_.SetFault({});
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(sim_.MailCount(), c.mails);
    }
}

TEST(CliDiffSides, ComNamesAndDevicesArePortsAnythingElseAFile) {
    testsupport::TempFolder folder;
    const std::string file = folder.File("COM1"), link = folder.File("adapter");
    WriteFile(file, "");
    ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
    const struct {
        std::string argument;
        bool port;
    } cases[] = {
        {"COM1", true},        {"com9", true},          {"COM0", false},     {"COM10", false},
        {"/dev/ttyUSB7", true}, {"/dev/serial/by-id/x", true}, {link, true}, {file, false},
        {"./COM1", false},     {folder.Path(), false},  {"backup.txt", false}, {"", false},
    };
    for (const auto &c : cases) EXPECT_EQ(NamesAPort(c.argument), c.port) << c.argument;
}

}  // namespace
