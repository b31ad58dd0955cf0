// Load and Save through the window: the fields after a Load, every message of the two buttons,
// an edit through every field with the bytes the repeater holds after the Save, and the access
// key that commits the field being edited before it saves.
#include "window_fixture.h"

#include "backup_file.h"
#include "form_messages.h"
#include "memory_transfer.h"
#include "park_codec.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <utility>

namespace {

using Texts = std::map<ControlId, std::string>;

class LoadSaveTest : public WindowTest {
protected:
    void ExpectTexts(const Texts &texts) {
        for (const auto &[id, text] : texts) EXPECT_EQ(Text(id), text) << NameOf(id);
    }
    std::string DecimalByte(const char *memory, size_t offset) {
        return std::to_string(RepeaterConfig(memory).at(offset));
    }
};

TEST_F(LoadSaveTest, LoadOfAClassAParentFillsEveryField) {
    Click(ControlId::LoadButton);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
    ExpectTexts({{ControlId::RfpiEdit, "02 5A 3C 81 43"},
                 {ControlId::ParkPliEdit, "31"},
                 {ControlId::ParkEdit, "01132171005"},
                 {ControlId::ParkChkEdit, "5"},
                 {ControlId::BaseRpnEdit, "3"},  // 0x43 under the 3-bit mask of class A
                 {ControlId::RepeaterRbnEdit, "5"},
                 {ControlId::WrsRfpiEdit, "02 5A 3C 81 45"}});
    EXPECT_TRUE(Checked(ControlId::MonitorBeepChkBox));  // byte 17 is 0x8C
    EXPECT_FALSE(Checked(ControlId::HopCtrlChkBox));     // byte 5 is 0x02
    for (ControlId id : {ControlId::LoadButton, ControlId::SaveButton, ControlId::Button1}) EXPECT_TRUE(Enabled(id));
    EXPECT_EQ(Focused(), ControlId::LoadButton);  // back on the button the transfer disabled
}

TEST_F(LoadSaveTest, LoadOfAParentOfAnotherClassShowsEightBitRpns) {
    ChoosePort("COM3");  // parent RFPI 12 34 56 78 9A: ARI class bits 001
    Click(ControlId::LoadButton);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
    const std::string repeaterRpn = DecimalByte("RELAY_WINE_SIM3", 2);
    char wrs[16];
    std::snprintf(wrs, sizeof wrs, "12 34 56 78 %02X", std::atoi(repeaterRpn.c_str()));
    const uint8_t check = ParkCheckDigit("3111064254742", 13);
    ExpectTexts({{ControlId::RfpiEdit, "12 34 56 78 9A"},
                 {ControlId::ParkEdit, "11064254742"},
                 {ControlId::ParkChkEdit, check == 10 ? "*" : std::string(1, char('0' + check))},
                 {ControlId::BaseRpnEdit, "154"},  // the whole of 0x9A
                 {ControlId::RepeaterRbnEdit, repeaterRpn},
                 {ControlId::WrsRfpiEdit, wrs}});
}

// Every path of Load and Save that ends in a message: the text, the caption, the icon, and
// whether Load, Save and Quit were disabled while the box was open (during a transfer they are).
struct MessagePath {
    const char *name;
    std::function<void(LoadSaveTest &)> before;  // what the user did before pressing the button
    ControlId button;
    std::string message;  // ending in ": ": a transfer's error text follows
    bool duringTransfer;
};

class MessagePathTest : public LoadSaveTest, public ::testing::WithParamInterface<MessagePath> {};

bool IsTransferErrorText(const std::string &text) {
    for (int code = 1; code <= 8; ++code)
        if (text == TransferErrorText(int8_t(code))) return true;
    return false;
}

TEST_P(MessagePathTest, ShowsItsMessage) {
    const MessagePath &path = GetParam();
    path.before(*this);
    ASSERT_EQ(BoxTexts(), std::vector<std::string>{});
    Click(path.button);
    const std::vector<SeenBox> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    const SeenBox &box = boxes.front();
    EXPECT_EQ(box.caption, "Repeater configuration");
    EXPECT_TRUE(box.errorIcon);
    if (path.message.size() > 2 && path.message.compare(path.message.size() - 2, 2, ": ") == 0) {
        ASSERT_EQ(box.text.substr(0, path.message.size()), path.message);
        EXPECT_TRUE(IsTransferErrorText(box.text.substr(path.message.size()))) << box.text;
    } else {
        EXPECT_EQ(box.text, path.message);
    }
    const bool enabledDuringBox = !path.duringTransfer;
    EXPECT_EQ(box.noted, (std::vector<bool>{enabledDuringBox, enabledDuringBox, enabledDuringBox}));
    for (ControlId id : {ControlId::LoadButton, ControlId::SaveButton, ControlId::Button1}) EXPECT_TRUE(Enabled(id));
    EXPECT_EQ(Focused(), path.button);
}

void Nothing(LoadSaveTest &) {}
void SelectNoPort(LoadSaveTest &t) { SendMessageA(t.Window().Control(ControlId::ComboCOMPort), CB_SETCURSEL, WPARAM(-1), 0); }
void LoadThen(LoadSaveTest &t, const char *port) {
    t.Click(ControlId::LoadButton);
    t.ChoosePort(port);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MessagePathTest,
    ::testing::Values(
        MessagePath{"LoadWithoutPort", SelectNoPort, ControlId::LoadButton, "First choose com port!", false},
        MessagePath{"SaveBeforeLoad", Nothing, ControlId::SaveButton, "First load data!", false},
        MessagePath{"LoadFromAnotherDevice", [](LoadSaveTest &t) { t.ChoosePort("COM4"); }, ControlId::LoadButton,
                    "Unsupported repeater device", true},
        MessagePath{"LoadWithDamagedReplies", [](LoadSaveTest &t) { t.ChoosePort("COM5"); }, ControlId::LoadButton,
                    "An error occured while reading from target: ", true},
        MessagePath{"SaveWithEqualRpns",
                    [](LoadSaveTest &t) {
                        t.Click(ControlId::LoadButton);
                        t.ClickAndSelectAll(ControlId::RepeaterRbnEdit);
                        t.Type(t.Text(ControlId::BaseRpnEdit));
                    },
                    ControlId::SaveButton, "Repeater RPN cannot be equal to base RPN!", false},
        MessagePath{"SaveToAnotherDevice", [](LoadSaveTest &t) { LoadThen(t, "COM4"); }, ControlId::SaveButton,
                    "Unsupported repeater device", true},
        MessagePath{"SaveWithDamagedReplies", [](LoadSaveTest &t) { LoadThen(t, "COM5"); }, ControlId::SaveButton,
                    "An error occured while writing to target: ", true},
        MessagePath{"SaveTheDeviceDidNotTake",  // a new repeater RPN, which the device drops
                    [](LoadSaveTest &t) {
                        LoadThen(t, "COM6");
                        t.ClickAndSelectAll(ControlId::RepeaterRbnEdit);
                        t.Type("6");
                    },
                    ControlId::SaveButton,
                    "The Save did not take: byte 2 (0x02) reads back 0x05 instead of 0x06. Press Save again.", true},
        MessagePath{"LeavingAnEmptyBaseRpnForLoad",  // the exit's message; the click is dropped
                    [](LoadSaveTest &t) {
                        t.Click(ControlId::LoadButton);
                        t.ClickAndSelectAll(ControlId::BaseRpnEdit);
                        t.Type("\b");
                    },
                    ControlId::LoadButton, "Base rpn does not have right format", false},
        MessagePath{"SaveWithoutPort",
                    [](LoadSaveTest &t) {
                        t.Click(ControlId::LoadButton);
                        SelectNoPort(t);
                    },
                    ControlId::SaveButton, "First choose com port!", false}),
    [](const ::testing::TestParamInfo<MessagePath> &info) { return std::string(info.param.name); });

TEST_F(LoadSaveTest, EditThroughEveryFieldThenSaveWritesTheImage) {
    ChoosePort("COM7");  // the sample repeater, kept for this test
    Click(ControlId::LoadButton);

    // Hex RFPI: a letter beyond F and Alt-held keys do not reach the field.
    ClickAndSelectAll(ControlId::RfpiEdit);
    Type("0a1b2");
    PressAltKey('g');
    PressAltKey('3');
    Type("gc3d4e");
    EXPECT_EQ(Text(ControlId::RfpiEdit), "0a 1b 2c 3d 4e");
    PressKey(VK_TAB);  // leaves the field: the image takes it
    EXPECT_EQ(Text(ControlId::RfpiEdit), "0A 1B 2C 3D 4E");
    EXPECT_EQ(Focused(), ControlId::RepeaterRbnEdit);

    // The first PARK digit is the ARI class: 1 makes both RPNs 8-bit. 8 is no octal digit.
    Click(ControlId::ParkEdit);
    PressKey(VK_HOME);
    Type("18");
    PressKey(VK_TAB);
    EXPECT_EQ(Text(ControlId::RfpiEdit), "1A 1B 2C 3D 4E");
    EXPECT_EQ(Text(ControlId::BaseRpnEdit), "78");  // 0x4E, now unmasked
    EXPECT_EQ(Focused(), ControlId::ParkChkEdit);

    ClickAndSelectAll(ControlId::BaseRpnEdit);
    Type("200");
    ClickAndSelectAll(ControlId::RepeaterRbnEdit);  // leaving the base RPN commits it
    EXPECT_EQ(Text(ControlId::RfpiEdit), "1A 1B 2C 3D C8");
    Type("1234");  // three digits at most
    EXPECT_EQ(Text(ControlId::RepeaterRbnEdit), "123");
    Click(ControlId::MonitorBeepChkBox);  // unticks it; leaving the RPN field commits 123
    EXPECT_EQ(Text(ControlId::WrsRfpiEdit), "1A 1B 2C 3D 7B");
    Click(ControlId::HopCtrlChkBox);  // leaving the beep box commits it
    EXPECT_FALSE(Checked(ControlId::MonitorBeepChkBox));
    EXPECT_TRUE(Checked(ControlId::HopCtrlChkBox));

    Click(ControlId::SaveButton);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});

    std::vector<uint8_t> expected = SampleConfig();
    expected[2] = 123;
    expected[5] = 0x82;
    expected[17] &= 0x7F;
    expected[22] = expected[23] = 0;
    expected[67] = 0xA8;
    const uint8_t parent[] = {0x1A, 0x1B, 0x2C, 0x3D, 0xC8};
    std::copy(std::begin(parent), std::end(parent), expected.begin() + 68);
    EXPECT_EQ(RepeaterConfig("RELAY_WINE_SIM7"), expected);
    EXPECT_EQ(Text(ControlId::RepeaterRbnEdit), "123");
    EXPECT_EQ(Text(ControlId::WrsRfpiEdit), "1A 1B 2C 3D 7B");

    // What the Save overwrote is kept where relaycfg keeps its backups, for `relaycfg restore`.
    const std::vector<std::string> backups = AutomaticBackups();
    ASSERT_EQ(backups.size(), 1u);
    const std::string name = backups[0].substr(backups[0].find_last_of('\\') + 1);
    EXPECT_EQ(name.rfind("COM7-", 0), 0u) << name;
    std::ifstream file(backups[0], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const BackupReading backup = ParseBackup(text);
    ASSERT_TRUE(backup.ok) << backup.error;
    EXPECT_EQ(backup.port, "COM7");
    const std::vector<uint8_t> sample = SampleConfig();
    EXPECT_EQ(std::vector<uint8_t>(backup.memory.image.begin(), backup.memory.image.end()),
              std::vector<uint8_t>(sample.begin(), sample.begin() + 80));
}

// The edit control's own clipboard keys paste through the masked-text model too.
TEST_F(LoadSaveTest, ShiftInsertPastesThroughTheMask) {
    ClickAndSelectAll(ControlId::RfpiEdit);
    Type("0a1b2c3d4e");
    SendMessageA(Control(ControlId::RfpiEdit), EM_SETSEL, 0, -1);
    PressKey(VK_DELETE, true);  // Shift+Delete: cut into the clipboard, the input positions blank
    EXPECT_EQ(Text(ControlId::RfpiEdit), std::string(14, ' '));
    PressKey(VK_HOME);
    PressKey(VK_INSERT, true);  // Shift+Insert: paste, the blanks of the mask kept
    EXPECT_EQ(Text(ControlId::RfpiEdit), "0a 1b 2c 3d 4e");
}

class AccessKeyTest : public LoadSaveTest {
protected:
    std::optional<std::string> Settings() const override { return "[Com settings]\r\nPort=3\r\n"; }
};

TEST_F(AccessKeyTest, AltSCommitsTheFieldBeingEditedThenSaves) {
    Click(ControlId::LoadButton);
    ClickAndSelectAll(ControlId::RepeaterRbnEdit);
    Type("77");
    PressAltKey('s');
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
    EXPECT_EQ(Focused(), ControlId::RepeaterRbnEdit);  // an access key does not move the focus
    EXPECT_EQ(Text(ControlId::RepeaterRbnEdit), "77");
    EXPECT_EQ(RepeaterConfig("RELAY_WINE_SIM3").at(2), 77);
}

// What a user does while the Load holds the thread (types a digit into the focused field, clicks
// Save) waits in its message queue; it is dropped as the busy cursor goes away. The same messages
// after the Load act at once.
class QueuedInputTest : public AccessKeyTest {
protected:
    void SetUp() override {
        AccessKeyTest::SetUp();
        Window().Core().SetHandlerObserver([this](Handler handler, ControlId, char *) { ran.push_back(HandlerName(handler)); });
    }
    void TearDown() override {
        SetTransferProgressHook({});
        Window().Core().SetHandlerObserver({});
        AccessKeyTest::TearDown();
    }
    void QueueKeyAndClick() {
        const HWND field = Control(ControlId::RepeaterRbnEdit);
        PostMessageA(field, WM_KEYDOWN, '9', 1);
        PostMessageA(field, WM_CHAR, '9', 1);
        PostMessageA(field, WM_KEYUP, '9', LPARAM(0xC0000001));
        const HWND save = Control(ControlId::SaveButton);
        RECT area{};
        GetClientRect(save, &area);
        const LPARAM middle = MAKELPARAM(area.right / 2, area.bottom / 2);
        PostMessageA(save, WM_LBUTTONDOWN, MK_LBUTTON, middle);
        PostMessageA(save, WM_LBUTTONUP, 0, middle);
    }

    std::vector<std::string> ran;  // the handlers that ran
};

TEST_F(QueuedInputTest, ClickAndKeyMadeDuringTheLoadReachNothing) {
    Click(ControlId::LoadButton);
    const std::string loaded = Text(ControlId::RepeaterRbnEdit);
    const uint8_t written = RepeaterConfig("RELAY_WINE_SIM3").at(2);
    bool queued = false;
    SetTransferProgressHook([&](const TransferProgress &) {
        if (!std::exchange(queued, true)) QueueKeyAndClick();
    });
    ClickAndSelectAll(ControlId::RepeaterRbnEdit);
    ran.clear();
    PressAltKey('l');  // commits the field and loads again, without moving the focus
    ASSERT_TRUE(queued);
    Pump();
    EXPECT_EQ(ran, (std::vector<std::string>{"RepeaterRbnEditExit", "LoadButtonClick"}));
    EXPECT_EQ(Text(ControlId::RepeaterRbnEdit), loaded);
    EXPECT_EQ(Focused(), ControlId::RepeaterRbnEdit);
    EXPECT_EQ(RepeaterConfig("RELAY_WINE_SIM3").at(2), written);

    ran.clear();
    QueueKeyAndClick();
    Pump();
    EXPECT_EQ(ran, (std::vector<std::string>{"RepeaterRbnEditKeyPress", "RepeaterRbnEditExit", "SaveButtonClick"}));
    EXPECT_EQ(RepeaterConfig("RELAY_WINE_SIM3").at(2), 9) << "the digit typed after the Load was saved";
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
}

TEST_F(AccessKeyTest, AnIncompleteMaskedFieldIsRefusedAndEscapeRestoresIt) {
    ClickAndSelectAll(ControlId::RfpiEdit);
    Type("123");
    Click(ControlId::LoadButton);  // refused: the click does not reach Load
    PressKey(VK_TAB);              // refused again
    PressAltKey('l');              // and the access key does nothing either
    const std::vector<SeenBox> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    for (const SeenBox &box : boxes) {
        EXPECT_EQ(box.text, "Invalid input value.  Use escape key to abandon changes.");
        EXPECT_EQ(box.caption, "window_win32_tests");
        EXPECT_TRUE(box.errorIcon);
    }
    EXPECT_EQ(Focused(), ControlId::RfpiEdit);
    EXPECT_EQ(Text(ControlId::RfpiEdit), "12 3          ");
    EXPECT_EQ(Text(ControlId::ParkPliEdit), "");  // nothing was loaded
    Type("\x1b");
    EXPECT_EQ(Text(ControlId::RfpiEdit), std::string(14, ' '));
    PressKey(VK_TAB);
    EXPECT_EQ(Focused(), ControlId::RepeaterRbnEdit);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
}

}  // namespace
