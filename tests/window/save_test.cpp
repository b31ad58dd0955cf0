// Save against the simulated repeater: edits through every field end up in the device exactly,
// with the save-time rules and nothing else changed; and every way a Save is refused or fails.
#include "workflow_fixture.h"

#include "backup_file.h"
#include "test_files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include <filesystem>
#include <regex>

namespace {

using repeatersim::Fault;

using WindowSave = WorkflowTest;

TEST_F(WindowSave, EditsThroughEveryFieldReachTheDeviceWithTheSaveRules) {
    RecordingForm &f = OpenOnCom1();
    SetDeviceBytes(67, {0x00});  // the display makes it 0xA8, and so the write
    SetDeviceBytes(22, {0x5E, 0x11});
    const Bytes device = sim.Config();
    Load();
    ASSERT_EQ(f.RfpiEdit->displayText(), "02 5A 3C 81 43");

    Edit(f.RfpiEdit, "0a5b3c8141");      // lower case is taken, class A stays
    EXPECT_EQ(f.RfpiEdit->displayText(), "0A 5B 3C 81 41");
    EXPECT_EQ(ParkLastDigit, '0');
    Edit(f.ParkEdit, "01132170030");     // bits 1 to 36; the E bit and the RPN bits stay
    EXPECT_EQ(f.RfpiEdit->displayText(), "02 5A 3C 06 01");
    EXPECT_EQ(f.ParkChkEdit->text(), "*");
    Edit(f.BaseRpnEdit, "6");            // into the three RPN bits of byte 72
    EXPECT_EQ(f.RfpiEdit->displayText(), "02 5A 3C 06 06");
    Edit(f.RepeaterRbnEdit, "9");        // byte 2 = 9, shown reduced to the class-A RPN bits
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "1");
    EXPECT_EQ(f.WrsRfpiEdit->displayText(), "02 5A 3C 06 01");
    Enter(f.MonitorBeepChkBox);          // on in the sample: switch it off
    Press(Qt::Key_Space);
    Press(Qt::Key_Tab);
    Enter(f.HopCtrlChkBox);              // off in the sample: switch it on
    Press(Qt::Key_Space);
    sim.SetFault({});
    Click(f.SaveButton);

    EXPECT_TRUE(watchdog.Boxes().empty()) << watchdog.Boxes().front().text.toStdString();
    EXPECT_EQ(sim.MailCount(), kSaveMails);
    Bytes expected = device;
    expected[2] = 0x01;
    expected[5] = 0x82;
    expected[17] = static_cast<uint8_t>(device[17] & 0x7F);
    expected[22] = expected[23] = 0x00;
    expected[67] = 0xA8;
    const uint8_t rfpi[] = {0x02, 0x5A, 0x3C, 0x06, 0x06};
    std::copy(std::begin(rfpi), std::end(rfpi), expected.begin() + 68);
    EXPECT_EQ(sim.Config(), expected);
    EXPECT_TRUE(f.LoadButton->isEnabled() && f.SaveButton->isEnabled() && f.Button1->isEnabled());
}

// Another class: 8-bit RPNs, and the HOP byte written whole as 0x02 whatever it held.
TEST_F(WindowSave, ClassBParentKeepsEightBitRpns) {
    RecordingForm &f = OpenOnCom1();
    SetDeviceBytes(5, {0xFD});
    SetDeviceBytes(68, {0x12, 0x34, 0x56, 0x78, 0x9A});
    const Bytes device = sim.Config();
    Load();
    ASSERT_TRUE(f.HopCtrlChkBox->isChecked()) << "bit 7 of 0xFD ticks the box";

    Edit(f.BaseRpnEdit, "\b200");  // a full RPN field takes no digit: delete first
    EXPECT_EQ(f.RfpiEdit->displayText(), "12 34 56 78 C8");
    EXPECT_EQ(f.ParkEdit->displayText(), "11064254743") << "byte 72's high bits carry PARK digits";
    Edit(f.RepeaterRbnEdit, "7");
    EXPECT_EQ(f.WrsRfpiEdit->displayText(), "12 34 56 78 07");
    // The HOP box has no exit of its own: every display shows byte 5 again, so it is set last.
    Enter(f.HopCtrlChkBox);
    Press(Qt::Key_Space);  // untick
    sim.SetFault({});
    Click(f.SaveButton);

    EXPECT_TRUE(watchdog.Boxes().empty());
    Bytes expected = device;
    expected[2] = 0x07;
    expected[5] = 0x02;
    expected[22] = expected[23] = 0x00;
    expected[72] = 0xC8;
    EXPECT_EQ(sim.Config(), expected);
}

TEST_F(WindowSave, RefusalsWriteNothing) {
    RecordingForm &f = OpenOnCom1();
    const Bytes device = sim.Config();

    // Before a Load.
    Click(f.SaveButton);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"First load data!"});
    EXPECT_EQ(ConfigImage[5], 0) << "refused before the image is prepared";

    Load();
    // Equal RPN texts: the HOP byte is prepared all the same, nothing else happens.
    Edit(f.RepeaterRbnEdit, "3");
    ASSERT_EQ(f.BaseRpnEdit->text(), "3");
    Enter(f.HopCtrlChkBox);
    Press(Qt::Key_Space);
    watchdog.Clear();
    sim.SetFault({});
    Click(f.SaveButton);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"Repeater RPN cannot be equal to base RPN!"});
    EXPECT_EQ(ConfigImage[5], 0x82);
    EXPECT_EQ(ConfigImage[22], device[22]) << "the rest of the preparation did not run";

    // No port selected: the image was prepared, then the port choice refuses.
    Edit(f.RepeaterRbnEdit, "4");
    f.ComboCOMPort->setCurrentIndex(-1);
    watchdog.Clear();
    Click(f.SaveButton);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"First choose com port!"});
    EXPECT_EQ(ConfigImage[22], 0);
    EXPECT_EQ(ConfigImage[23], 0);

    EXPECT_EQ(sim.MailCount(), 0u) << "nothing was sent";
    EXPECT_EQ(sim.Config(), device);
}

TEST_F(WindowSave, UnsupportedDeviceIsNotWritten) {
    RecordingForm &f = OpenOnCom1();
    Load();
    SetDeviceType('b');
    const Bytes device = sim.Config();
    sim.SetFault({});
    Click(f.SaveButton);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"Unsupported repeater device"});
    EXPECT_EQ(sim.MailCount(), kInfoMails);
    EXPECT_EQ(sim.Config(), device);
    EXPECT_TRUE(f.LoadButton->isEnabled() && f.SaveButton->isEnabled() && f.Button1->isEnabled());
}

TEST_F(WindowSave, TransferFailuresAreReportedAsWriteErrors) {
    struct Case {
        const char *name;
        repeatersim::FaultPlan fault;
        QString message;
        unsigned mails;
        std::size_t bytesWritten;  // the image bytes that reached the device (a mail whose echo
                                   // came back damaged was still received whole)
    };
    const Case cases[] = {
        {"identification read fails", {Fault::BadChecksum, 2, 0},
         "An error occured while writing to target: Checksum error.", 3, 0},
        {"third write mail's echo corrupted", {Fault::CorruptEcho, kInfoMails + kImageMails + 3, 9},
         "An error occured while writing to target: No local echo.", kInfoMails + kImageMails + 4, 24},
    };
    RecordingForm &f = OpenOnCom1();
    Load();
    Edit(f.RepeaterRbnEdit, "6");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes device = sim.Config();
        watchdog.Clear();
        FailTwice(c.fault);
        Click(f.SaveButton);
        EXPECT_EQ(BoxTexts(), std::vector<QString>{c.message});
        EXPECT_EQ(sim.MailCount(), c.mails);
        const Bytes now = sim.Config();
        EXPECT_EQ(now[2], c.bytesWritten > 2 ? 6 : device[2]);
        EXPECT_TRUE(std::equal(now.begin() + static_cast<std::ptrdiff_t>(c.bytesWritten), now.end(),
                               device.begin() + static_cast<std::ptrdiff_t>(c.bytesWritten)))
            << "nothing after the failed mail was written";
        EXPECT_TRUE(f.LoadButton->isEnabled() && f.SaveButton->isEnabled() && f.Button1->isEnabled());
        EXPECT_EQ(f.RepeaterRbnEdit->text(), "6") << "the display shows the image";
    }
}

TEST_F(WindowSave, AWriteTheDeviceIgnoredIsReportedAndTheEditKept) {
    RecordingForm &f = OpenOnCom1();
    Load();
    Edit(f.RepeaterRbnEdit, "6");
    const Bytes device = sim.Config();
    const Bytes edited = Image();
    watchdog.Clear();
    sim.SetFault({Fault::IgnoreWrite, 0, 0});
    Click(f.SaveButton);

    EXPECT_EQ(BoxTexts(), std::vector<QString>{"The Save did not take: byte 2 (0x02) reads back 0x05 instead of "
                                               "0x06. Press Save again."});
    EXPECT_EQ(sim.Config(), device);
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "6") << "the edited image stays for the next Save";
    EXPECT_EQ(Image()[2], edited[2]);
    EXPECT_TRUE(f.LoadButton->isEnabled() && f.SaveButton->isEnabled() && f.Button1->isEnabled());

    // The same Save against a device that takes it: no message.
    watchdog.Clear();
    sim.SetFault({});
    Click(f.SaveButton);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(sim.Config()[2], 6);
}

// Each Save first keeps the unit's image where relaycfg keeps its automatic backups, in the format
// `relaycfg restore` reads; a backup that cannot be saved leaves the Save as it is, unseen.
TEST_F(WindowSave, EachSaveKeepsTheImageItOverwritesForRelaycfgRestore) {
    const auto deviceImage = [this] {
        const Bytes config = sim.Config();
        return Bytes(config.begin(), config.begin() + 80);
    };
    RecordingForm &f = OpenOnCom1();
    const Bytes before = deviceImage();
    Load();
    sim.SetFault({});
    Edit(f.RepeaterRbnEdit, "6");
    Click(f.SaveButton);
    const Bytes afterFirst = deviceImage();
    Edit(f.RepeaterRbnEdit, "4");
    Click(f.SaveButton);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(sim.Config()[2], 4);

    std::vector<Bytes> kept;
    const std::regex name(R"(COM1-\d{8}T\d{6}(-\d+)?\.txt)");
    for (const auto &entry : std::filesystem::directory_iterator(StateHome() + "/relaycfg/backups")) {
        EXPECT_TRUE(std::regex_match(entry.path().filename().string(), name)) << entry.path();
        const BackupReading backup = ParseBackup(ReadFileOrEmpty(entry.path().string()));
        ASSERT_TRUE(backup.ok) << backup.error;
        EXPECT_EQ(backup.port, "COM1");
        kept.emplace_back(backup.memory.image.begin(), backup.memory.image.end());
    }
    std::vector<Bytes> expected = {before, afterFirst};
    std::sort(kept.begin(), kept.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(kept, expected) << "one backup per Save, each of the image the Save overwrote";

    // A plain file where the state folder should be: no backup, the same Save, no message.
    const std::string blocked = folder.File("blocked");
    WriteFile(blocked, "not a folder");
    ::setenv("XDG_STATE_HOME", blocked.c_str(), 1);
    sim.SetFault({});
    Edit(f.RepeaterRbnEdit, "2");
    Click(f.SaveButton);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(sim.MailCount(), kSaveMails);
    EXPECT_EQ(sim.Config()[2], 2);
}

}  // namespace
