// Start-up (the window's frame and controls, the port list and the selection from the settings
// file) and close (the settings file written).
#include "window_fixture.h"

#include "control_table.h"

#include <commctrl.h>

namespace {

class StartUpTest : public WindowTest {};

TEST_F(StartUpTest, WindowAndControlsStandAtTheirDesignedPixels) {
    const WindowSpec &spec = ::Window();
    RECT client{}, frame{};
    GetClientRect(Window().Handle(), &client);
    GetWindowRect(Window().Handle(), &frame);
    EXPECT_EQ(client.right, spec.clientWidth);
    EXPECT_EQ(client.bottom, spec.clientHeight);
    EXPECT_EQ(frame.left, spec.left);
    EXPECT_EQ(frame.top, spec.top);
    char caption[64] = {};
    GetWindowTextA(Window().Handle(), caption, sizeof caption);
    EXPECT_STREQ(caption, spec.caption);

    for (const ControlSpec &control : Controls()) {
        SCOPED_TRACE(control.name);
        RECT box{};
        const HWND parent = control.parent == ControlId::None ? Window().Handle() : Control(control.parent);
        GetWindowRect(Control(control.id), &box);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&box), 2);
        EXPECT_EQ(box.left, control.left);
        EXPECT_EQ(box.top, control.top);
        if (control.kind != ControlKind::Picture) {  // a picture's box takes its bitmap's size
            EXPECT_EQ(box.right - box.left, control.width);
            EXPECT_EQ(box.bottom - box.top, control.height);
        }
    }
}

// What each control shows beyond its place: its font as the screen draws it (so a prefix without
// "MS Sans Serif" fails here), and its hint as a tooltip.
TEST_F(StartUpTest, ControlsHaveTheirFontsAndHints) {
    HWND tooltip = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM out) -> BOOL {
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (std::string(name) == TOOLTIPS_CLASSA) *reinterpret_cast<HWND *>(out) = window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tooltip));
    ASSERT_NE(tooltip, nullptr);
    const HDC dc = GetDC(Window().Handle());
    for (const ControlSpec &control : Controls()) {
        SCOPED_TRACE(control.name);
        if (control.kind == ControlKind::Picture || control.kind == ControlKind::Panel) continue;  // no text
        const auto font = reinterpret_cast<HFONT>(SendMessageA(Control(control.id), WM_GETFONT, 0, 0));
        LOGFONTA description{};
        ASSERT_TRUE(font != nullptr && GetObjectA(font, sizeof description, &description));
        EXPECT_EQ(description.lfHeight, -FontOf(control.font).pixels);
        EXPECT_EQ(description.lfWeight >= FW_BOLD, FontOf(control.font).bold);
        const HGDIOBJ before = SelectObject(dc, font);
        char face[LF_FACESIZE] = {};
        GetTextFaceA(dc, sizeof face, face);
        SelectObject(dc, before);
        EXPECT_STREQ(face, kFontFace);

        TTTOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = Window().Handle();
        tool.uId = UINT_PTR(Control(control.id));
        char hint[256] = {};
        tool.lpszText = hint;
        const bool registered = SendMessageA(tooltip, TTM_GETTOOLINFOA, 0, LPARAM(&tool)) != 0;
        EXPECT_EQ(registered, *control.hint != '\0');
        if (registered) {
            EXPECT_STREQ(hint, control.hint);
        }
    }
    ReleaseDC(Window().Handle(), dc);
}

TEST_F(StartUpTest, TabVisitsTheControlsInTabOrderAndComesBack) {
    std::vector<ControlId> visited{Focused()};
    for (size_t i = 0; i < TabOrder().size(); ++i) {
        PressKey(VK_TAB);
        visited.push_back(Focused());
    }
    std::vector<ControlId> expected(TabOrder().begin(), TabOrder().end());
    expected.push_back(TabOrder().front());
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
}

TEST_F(StartUpTest, FieldsStartBlankAndTheFocusIsOnThePortList) {
    EXPECT_EQ(Text(ControlId::RfpiEdit), std::string(14, ' '));
    EXPECT_EQ(Text(ControlId::WrsRfpiEdit), std::string(14, ' '));
    EXPECT_EQ(Text(ControlId::ParkEdit), std::string(11, ' '));
    for (ControlId id : {ControlId::BaseRpnEdit, ControlId::RepeaterRbnEdit, ControlId::ParkPliEdit,
                         ControlId::ParkChkEdit})
        EXPECT_EQ(Text(id), "") << NameOf(id);
    EXPECT_FALSE(Checked(ControlId::MonitorBeepChkBox));
    EXPECT_FALSE(Checked(ControlId::HopCtrlChkBox));
    EXPECT_EQ(Text(ControlId::LoadButton), "&Load");
    EXPECT_EQ(Focused(), ControlId::ComboCOMPort);
}

// The stored port selects its entry; under Wine every pinned COM port opens, so the list is
// COM1 to COM8 whatever stands behind them.
struct StoredPort {
    const char *settings;  // nullptr: no settings file
    const char *selected;
};

class PortListTest : public WindowTest, public ::testing::WithParamInterface<StoredPort> {
protected:
    std::optional<std::string> Settings() const override {
        if (GetParam().settings == nullptr) return std::nullopt;
        return std::string(GetParam().settings);
    }
};

TEST_P(PortListTest, ListsTheOpenablePortsAndSelectsTheStoredOne) {
    EXPECT_EQ(PortEntries(), (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}));
    EXPECT_EQ(Text(ControlId::ComboCOMPort), GetParam().selected);
    EXPECT_EQ(SendMessageA(Control(ControlId::ComboCOMPort), CB_GETCURSEL, 0, 0),
              *GetParam().selected ? GetParam().selected[3] - '1' : CB_ERR);
}

INSTANTIATE_TEST_SUITE_P(Settings, PortListTest,
                         ::testing::Values(StoredPort{"[Com settings]\r\nPort=3\r\n", "COM3"},
                                           StoredPort{nullptr, "COM1"},
                                           StoredPort{"[com SETTINGS]\nport=0x5\n", "COM5"},
                                           StoredPort{"[Com settings]\r\nPort=9\r\n", ""}));

class CloseTest : public WindowTest {
protected:
    std::optional<std::string> Settings() const override {
        return "; kept\r\n[Other]\r\nKey=1\r\n[Com settings]\r\nPort=2\r\n";
    }
    bool WindowGone() { return !IsWindow(Window().Handle()); }
};

TEST_F(CloseTest, QuitWritesThePortShownAndKeepsTheRestOfTheFile) {
    ChoosePort("COM5");
    Click(ControlId::Button1);
    EXPECT_TRUE(WindowGone());
    const std::string settings = ReadSettings();
    EXPECT_NE(settings.find("Port=5"), std::string::npos) << settings;
    EXPECT_NE(settings.find("[Other]"), std::string::npos) << settings;
    EXPECT_NE(settings.find("Key=1"), std::string::npos) << settings;
}

// (A read-only file does not do here: Wine, run as root, writes it all the same.)
TEST_F(CloseTest, ASettingsFileThatCannotBeWrittenIsReportedOnceAndTheWindowCloses) {
    ASSERT_TRUE(DeleteFileA(SettingsPath().c_str()));
    ASSERT_TRUE(CreateDirectoryA(SettingsPath().c_str(), nullptr));  // a folder in the file's place
    ChoosePort("COM5");
    Click(ControlId::Button1);
    RemoveDirectoryA(SettingsPath().c_str());
    const std::vector<SeenBox> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front().text, "Unable to write to " + SettingsPath() + ".");
    EXPECT_EQ(boxes.front().caption, "window_win32_tests");
    EXPECT_TRUE(boxes.front().errorIcon);
    EXPECT_TRUE(WindowGone());
}

TEST_F(CloseTest, AltF4WritesATypedPortText) {
    ASSERT_EQ(Focused(), ControlId::ComboCOMPort);
    SendMessageA(GetFocus(), EM_SETSEL, 0, -1);
    Type("COM7");
    SendMessageA(GetFocus(), WM_SYSKEYDOWN, VK_F4, LPARAM(1) << 29 | 1);
    Pump();
    EXPECT_TRUE(WindowGone());
    EXPECT_NE(ReadSettings().find("Port=7"), std::string::npos) << ReadSettings();
}

}  // namespace
