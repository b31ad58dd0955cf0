// The Load and Save sequences against the simulated repeater, and a whole edit cycle through
// the shared image rules.
#include <gtest/gtest.h>

#include <stdexcept>

#include "backup_file.h"
#include "image_rules.h"
#include "load_save.h"
#include "memory_transfer.h"
#include "simulated_repeater_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using repeatersim::Fault;

// Mails of a Load: 4 for the identification block, then 10 for the image; a Save reads the
// image back with 10 more.
constexpr unsigned kInfoMails = 4;
constexpr unsigned kLoadMails = 14;
constexpr unsigned kSaveMails = kLoadMails + 10;

class MemoryLoadSave : public SimulatedRepeaterTest {
protected:
    void DeviceType(uint8_t type) {
        auto info = sim_.Info();
        info[18] = type;
        sim_.SetInfo(info);
    }
};

TEST_F(MemoryLoadSave, LoadReadsBothAreasAndMarksDataLoaded) {
    const Bytes config = GiveDeviceDistinctConfig(0x11);
    DeviceType('a');

    const WorkflowResult result = LoadFromRepeater();

    EXPECT_EQ(result.outcome, WorkflowOutcome::Done);
    EXPECT_EQ(result.code, 0);
    EXPECT_TRUE(DataLoaded);
    EXPECT_EQ(sim_.MailCount(), kLoadMails);
    EXPECT_EQ(InfoBlock[18], 'a');
    EXPECT_EQ(ImageBytes(0, 80), Bytes(config.begin(), config.begin() + 80));
}

TEST_F(MemoryLoadSave, UnsupportedDeviceIsNeitherReadNorWritten) {
    GiveDeviceDistinctConfig(0x22);
    const Bytes deviceBefore = sim_.Config();
    DeviceType('b');
    std::fill(ConfigImage, ConfigImage + 80, uint8_t{0xEE});

    const WorkflowResult load = LoadFromRepeater();
    EXPECT_EQ(load.outcome, WorkflowOutcome::UnsupportedDevice);
    EXPECT_EQ(sim_.MailCount(), kInfoMails);
    EXPECT_FALSE(DataLoaded);
    EXPECT_EQ(ImageBytes(0, 80), Bytes(80, 0xEE));

    sim_.SetFault({});  // restarts the mail count
    const WorkflowResult save = SaveToRepeater();
    EXPECT_EQ(save.outcome, WorkflowOutcome::UnsupportedDevice);
    EXPECT_EQ(sim_.MailCount(), kInfoMails);
    EXPECT_EQ(sim_.Config(), deviceBefore);
}

TEST_F(MemoryLoadSave, FailedLoadPutsTheImageBackAndKeepsDataLoaded) {
    const Bytes first = GiveDeviceDistinctConfig(0x31);
    ASSERT_EQ(LoadFromRepeater().outcome, WorkflowOutcome::Done);
    ASSERT_TRUE(DataLoaded);

    // The device changes; the next Load fails on the fourth image mail (and its retry), after
    // three new chunks.
    GiveDeviceDistinctConfig(0x77);
    FaultTwice({Fault::BadChecksum, kInfoMails + 4, 0});
    const WorkflowResult result = LoadFromRepeater();

    EXPECT_EQ(result.outcome, WorkflowOutcome::TransferFailed);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(TransferErrorText(result.code), "Checksum error.");
    EXPECT_EQ(sim_.MailCount(), kInfoMails + 5);
    EXPECT_EQ(ImageBytes(0, 80), Bytes(first.begin(), first.begin() + 80))
        << "no mixture of old and new chunks";
    EXPECT_TRUE(DataLoaded) << "a failed Load after a good one leaves Save available";
}

TEST_F(MemoryLoadSave, FailedIdentificationReadLeavesEverythingAsItWas) {
    GiveDeviceDistinctConfig(0x44);
    std::fill(ConfigImage, ConfigImage + 80, uint8_t{0xEE});
    FaultTwice({Fault::BadChecksum, 2, 0});

    const WorkflowResult load = LoadFromRepeater();
    EXPECT_EQ(load.outcome, WorkflowOutcome::TransferFailed);
    EXPECT_EQ(load.code, 2);
    EXPECT_FALSE(DataLoaded);
    EXPECT_EQ(ImageBytes(0, 80), Bytes(80, 0xEE));

    const Bytes deviceBefore = sim_.Config();
    FaultTwice({Fault::BadChecksum, 3, 0});
    const WorkflowResult save = SaveToRepeater();
    EXPECT_EQ(save.outcome, WorkflowOutcome::TransferFailed);
    EXPECT_EQ(save.code, 2);
    EXPECT_EQ(sim_.MailCount(), 4u) << "no write after a failed identification read";
    EXPECT_EQ(sim_.Config(), deviceBefore);
}

TEST_F(MemoryLoadSave, OpenFailureIsATransferFailureWithCodeEight) {
    PortSettings.PortNumber = 5;  // nothing published there
    const WorkflowResult load = LoadFromRepeater();
    EXPECT_EQ(load.outcome, WorkflowOutcome::TransferFailed);
    EXPECT_EQ(load.code, 8);
    const WorkflowResult save = SaveToRepeater();
    EXPECT_EQ(save.outcome, WorkflowOutcome::TransferFailed);
    EXPECT_EQ(save.code, 8);
    EXPECT_TRUE(sim_.Received().empty());
}

TEST_F(MemoryLoadSave, SaveWritesTheWholeImage) {
    GiveDeviceDistinctConfig(0x55);
    for (std::size_t i = 0; i < 80; ++i) ConfigImage[i] = static_cast<uint8_t>(0xC0 ^ i);

    const WorkflowResult result = SaveToRepeater();

    EXPECT_EQ(result.outcome, WorkflowOutcome::Done);
    EXPECT_EQ(result.mismatchOffset, -1);
    EXPECT_EQ(SaveCheckMessage(result), "");
    EXPECT_EQ(sim_.MailCount(), kSaveMails) << "the write and its read-back";
    const Bytes device = sim_.Config();
    EXPECT_EQ(Bytes(device.begin(), device.begin() + 80), ImageBytes(0, 80));
}

// A write mail has no reply: only reading the image back shows a device that dropped one.
TEST_F(MemoryLoadSave, SaveThatTheDeviceIgnoredIsNotTakenAndKeepsTheEditedImage) {
    const Bytes device = GiveDeviceDistinctConfig(0x55);
    for (std::size_t i = 0; i < 80; ++i) ConfigImage[i] = static_cast<uint8_t>(device[i] + 1);
    ConfigImage[22] = device[22];  // unchecked bytes: equal or not, they name no difference
    ConfigImage[23] = static_cast<uint8_t>(device[23] ^ 0xFF);
    const Bytes edited = ImageBytes(0, 80);

    const struct {
        const char *name;
        unsigned ignoredMail;  // 0: every write
        int firstDifference;
    } cases[] = {
        {"every write ignored", 0, 0},
        {"the third chunk ignored", kInfoMails + 3, 16},
        {"the last chunk ignored", kInfoMails + 10, 72},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        sim_.SetConfig(device);
        sim_.SetFault({Fault::IgnoreWrite, c.ignoredMail, 0});
        const WorkflowResult result = SaveToRepeater();

        EXPECT_EQ(result.outcome, WorkflowOutcome::SaveNotTaken);
        EXPECT_EQ(result.code, 0);
        ASSERT_EQ(result.mismatchOffset, c.firstDifference);
        const auto at = static_cast<std::size_t>(c.firstDifference);
        EXPECT_EQ(result.written, edited[at]);
        EXPECT_EQ(result.readBack, device[at]);
        EXPECT_EQ(ImageBytes(0, 80), edited) << "the edited image stays for the next Save";
        EXPECT_EQ(sim_.MailCount(), kSaveMails);
    }

    // Pressing Save again on a device that now takes it.
    sim_.SetFault({});
    EXPECT_EQ(SaveToRepeater().outcome, WorkflowOutcome::Done);
}

// Bytes 22 and 23 are cleared before every Save but not interpreted: a device that sets them
// itself still passes the check.
TEST_F(MemoryLoadSave, DeviceOwnBytesTwentyTwoAndTwentyThreeAreNotChecked) {
    Bytes device = GiveDeviceDistinctConfig(0x66);
    device[22] = 0x5A;
    device[23] = 0xA5;
    sim_.SetConfig(device);
    std::copy_n(device.begin(), 80, ConfigImage);
    ConfigImage[22] = 0;
    ConfigImage[23] = 0;
    sim_.SetFault({Fault::IgnoreWrite, kInfoMails + 3, 0});  // the chunk of bytes 16 to 23

    const WorkflowResult result = SaveToRepeater();
    EXPECT_EQ(result.outcome, WorkflowOutcome::Done);
    EXPECT_EQ(result.mismatchOffset, -1);
}

TEST_F(MemoryLoadSave, FailedReadBackIsASaveNotTakenWithTheTransferCode) {
    const Bytes device = GiveDeviceDistinctConfig(0x71);
    for (std::size_t i = 0; i < 80; ++i) ConfigImage[i] = static_cast<uint8_t>(~device[i]);
    const Bytes edited = ImageBytes(0, 80);
    FaultTwice({Fault::BadChecksum, kLoadMails + 2, 0});  // the read-back's second mail

    const WorkflowResult result = SaveToRepeater();
    EXPECT_EQ(result.outcome, WorkflowOutcome::SaveNotTaken);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.mismatchOffset, -1);
    EXPECT_EQ(ImageBytes(0, 80), edited);
    const Bytes after = sim_.Config();
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 80), edited) << "the write itself went through";
}

// The window's Save keeps what it overwrites: the device's image, read after the device check and
// before the first write. A read or a keep that fails leaves the Save as it is without them; the
// error a failed read leaves in the mail layer does not block the write.
TEST_F(MemoryLoadSave, SaveKeepsTheImageItOverwritesAsASafetyNetOnly) {
    const Bytes device = GiveDeviceDistinctConfig(0x29);
    Bytes edited(device.begin(), device.begin() + 80);
    for (uint8_t &b : edited) b ^= 0x5A;
    edited[22] = edited[23] = 0;
    const Bytes deviceImage(device.begin(), device.begin() + 80);
    struct Case {
        const char *name;
        uint8_t deviceType;
        unsigned failingMail;  // with its retry; 0: none
        bool keepThrows;
        WorkflowOutcome outcome;
        bool kept;
        unsigned mails;
    };
    const Case cases[] = {
        {"kept", 'a', 0, false, WorkflowOutcome::Done, true, kSaveMails + 10},
        {"keeping it fails", 'a', 0, true, WorkflowOutcome::Done, true, kSaveMails + 10},
        {"its read fails", 'a', kInfoMails + 2, false, WorkflowOutcome::Done, false, kSaveMails + 3},
        {"unsupported device", 'b', 0, false, WorkflowOutcome::UnsupportedDevice, false, kInfoMails},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim_.SetConfig(device);
        DeviceType(c.deviceType);
        if (c.failingMail != 0) FaultTwice({Fault::BadChecksum, c.failingMail, 0});
        else sim_.SetFault({});
        std::copy(edited.begin(), edited.end(), ConfigImage);
        std::vector<RepeaterMemory> kept;

        const WorkflowResult result = SaveToRepeaterKeepingPrevious([&](const RepeaterMemory &previous) {
            kept.push_back(previous);
            if (c.keepThrows) throw std::runtime_error("no room for the backup");
        });

        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(sim_.MailCount(), c.mails);
        EXPECT_EQ(ImageBytes(0, 80), edited) << "the edited image is not touched by the read";
        const Bytes now = sim_.Config();
        EXPECT_EQ(Bytes(now.begin(), now.begin() + 80),
                  c.outcome == WorkflowOutcome::Done ? edited : deviceImage);
        ASSERT_EQ(kept.size(), c.kept ? 1u : 0u);
        if (!c.kept) continue;
        EXPECT_EQ(Bytes(kept[0].image.begin(), kept[0].image.end()), deviceImage);
        const auto info = sim_.Info();
        EXPECT_EQ(Bytes(kept[0].info.begin(), kept[0].info.end()), Bytes(info.begin(), info.end()));
    }
}

TEST(SaveCheckText, NamesTheByteOrTheTransferError) {
    const struct {
        WorkflowResult result;
        const char *text;
    } cases[] = {
        {{WorkflowOutcome::SaveNotTaken, 0, 30, 0x12, 0x34},
         "The Save did not take: byte 30 (0x1E) reads back 0x34 instead of 0x12. Press Save again."},
        {{WorkflowOutcome::SaveNotTaken, 0, 0, 0xFF, 0x00},
         "The Save did not take: byte 0 (0x00) reads back 0x00 instead of 0xFF. Press Save again."},
        {{WorkflowOutcome::SaveNotTaken, 1, -1, 0, 0},
         "The Save did not take: the image could not be read back to check it: No response. "
         "Press Save again."},
        {{WorkflowOutcome::Done, 0, -1, 0, 0}, ""},
        {{WorkflowOutcome::TransferFailed, 6, -1, 0, 0}, ""},
        {{WorkflowOutcome::UnsupportedDevice, 0, -1, 0, 0}, ""},
    };
    for (const auto &c : cases) EXPECT_EQ(SaveCheckMessage(c.result), c.text);
}

TEST_F(MemoryLoadSave, EditCycleWritesTheLoadedImageWithTheEditsAndSaveRules) {
    // A class-A parent 02 5A 3C 81 43 whose other bytes all differ.
    Bytes loaded = GiveDeviceDistinctConfig(0x05);
    const Bytes parent = {0x02, 0x5A, 0x3C, 0x81, 0x43};
    std::copy(parent.begin(), parent.end(), loaded.begin() + 68);
    loaded[2] = 0x1D;
    loaded[5] = 0x00;
    loaded[17] = 0x12;
    sim_.SetConfig(loaded);

    ASSERT_EQ(LoadFromRepeater().outcome, WorkflowOutcome::Done);
    DisplayFields shown = RefreshImageForDisplay(ConfigImage);
    ParkLastDigit = shown.parkLastDigit;
    EXPECT_EQ(shown.repeaterRpn, "5");
    EXPECT_EQ(shown.baseRpn, "3");

    ASSERT_TRUE(ApplyRepeaterRpnText(ConfigImage, "6").ok);
    shown = RefreshImageForDisplay(ConfigImage);
    ASSERT_TRUE(ApplyBaseRpnText(ConfigImage, "2").ok);
    shown = RefreshImageForDisplay(ConfigImage);
    ApplyMonitorBeep(ConfigImage, true);
    ASSERT_TRUE(ApplyParkText(ConfigImage, shown.parkDigits, ParkLastDigit).ok);
    shown = RefreshImageForDisplay(ConfigImage);
    ASSERT_TRUE(PrepareImageForSave(ConfigImage, true, shown.repeaterRpn, shown.baseRpn).ok);
    ASSERT_EQ(SaveToRepeater().outcome, WorkflowOutcome::Done);

    Bytes expected(loaded.begin(), loaded.begin() + 80);
    expected[2] = 6;
    expected[5] = 0x82;
    expected[17] = 0x92;
    expected[22] = 0;
    expected[23] = 0;
    expected[67] = 0xA8;
    expected[72] = 0x42;
    const Bytes device = sim_.Config();
    EXPECT_EQ(Bytes(device.begin(), device.begin() + 80), expected);
    EXPECT_EQ(Bytes(device.begin() + 80, device.end()), Bytes(loaded.begin() + 80, loaded.end()));
}

}  // namespace
