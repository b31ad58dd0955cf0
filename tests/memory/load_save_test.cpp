// The Load and Save sequences against the simulated repeater, and a whole edit cycle through
// the shared image rules.
#include <gtest/gtest.h>

#include "image_rules.h"
#include "load_save.h"
#include "memory_transfer.h"
#include "simulated_repeater_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using repeatersim::Fault;

// Mails of a Load or Save: 4 for the identification block, then 10 for the image.
constexpr unsigned kInfoMails = 4;
constexpr unsigned kLoadMails = 14;

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
    EXPECT_EQ(sim_.MailCount(), kLoadMails);
    const Bytes device = sim_.Config();
    EXPECT_EQ(Bytes(device.begin(), device.begin() + 80), ImageBytes(0, 80));
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
